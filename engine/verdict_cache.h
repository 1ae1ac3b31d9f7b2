// What rules and checks make of an item depends only on a few of its fields, its decal's unit
// and which rules take its decal. A library has few distinct items among its millions of lines,
// so each is judged once and its verdict kept by its key, up to a few thousand keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace trelvo {

// Which of the first 64 rules take a decal, as bits: the part of a key that says so.
inline std::uint64_t maskOf(const std::vector<char>& ok) {
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < ok.size() && i < 64; ++i)
        mask |= std::uint64_t{ok[i] != 0} << i;
    return mask;
}

// An item's key: a few bytes, a mask of the rules that take its decal, then its fields each with
// its length. Fields longer than kMaxField make no key (the item is judged every time).
class ItemKey {
public:
    static constexpr std::size_t kMaxField = 255, kMaxFields = 7;

    void start(char kind, char unit, std::uint64_t rules) {
        size_ = 0;
        fields_ = 0;
        ok_ = true;
        buf_[size_++] = kind;
        buf_[size_++] = unit;
        std::memcpy(buf_ + size_, &rules, sizeof rules);
        size_ += sizeof rules;
    }
    void add(std::string_view field) {
        if (!ok_ || field.size() > kMaxField || fields_ == kMaxFields) {
            ok_ = false;
            return;
        }
        ++fields_;
        buf_[size_++] = static_cast<char>(field.size());
        if (!field.empty())
            std::memcpy(buf_ + size_, field.data(), field.size());
        size_ += field.size();
    }
    // Empty when there is no key.
    std::string_view view() const { return ok_ ? std::string_view(buf_, size_) : std::string_view(); }

private:
    char buf_[2 + sizeof(std::uint64_t) + kMaxFields * (1 + kMaxField)];
    std::size_t size_ = 0, fields_ = 0;
    bool ok_ = false;
};

// A map from texts that is looked up by views, without making a string for each look-up.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
template <class Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

template <class Verdict>
class VerdictCache {
public:
    // The verdict kept for key; known is false when the caller is to judge the item and fill it.
    Verdict& at(std::string_view key, bool& known) {
        const auto found = kept_.find(key);
        known = found != kept_.end();
        if (known)
            return found->second;
        // Memory stays bounded: a library with more distinct items starts again.
        if (kept_.size() == kMaxKept)
            kept_.clear();
        return kept_.try_emplace(std::string(key)).first->second;
    }

private:
    static constexpr std::size_t kMaxKept = 4096;
    TextMap<Verdict> kept_;
};

}  // namespace trelvo
