// What rules and checks make of an item depends only on a few of its fields, its decal's unit
// and which rules take its decal. A library has few distinct items among its millions of lines,
// so each is judged once and its verdict kept in a slot of a small table, found again by the
// key's hash; a slot another key takes is judged anew. The table never grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
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
    static constexpr std::size_t kMaxField = 255, kMaxFields = 6;

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

template <class Verdict>
class VerdictCache {
public:
    // The verdict kept for key; known is false when the caller is to judge the item and fill it.
    Verdict& at(std::string_view key, bool& known) {
        Slot& s = slots_[hashOf(key) % kSlots];
        known = s.key == key;
        if (!known)
            s.key.assign(key);
        return s.verdict;
    }

private:
    static constexpr std::size_t kSlots = 4096;
    struct Slot {
        std::string key;  // empty: not yet used (no key is empty)
        Verdict verdict{};
    };

    static std::size_t hashOf(std::string_view key) {
        std::uint64_t h = key.size();
        std::size_t i = 0;
        for (std::uint64_t word; i + 8 <= key.size(); i += 8) {
            std::memcpy(&word, key.data() + i, 8);
            h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        }
        for (; i < key.size(); ++i)
            h = (h ^ static_cast<unsigned char>(key[i])) * 0x9E3779B97F4A7C15ull;
        // Products carry a byte's bits only upwards: mix the high ones back down to the slot's.
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        return static_cast<std::size_t>(h);
    }

    std::vector<Slot> slots_ = std::vector<Slot>(kSlots);
};

}  // namespace trelvo
