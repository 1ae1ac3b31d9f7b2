#include "cli/staged_text.h"

namespace trelvo::cli {

StagedText::Buffer::Buffer(OutputFile& file) : file_(file) {
    setp(bytes_, bytes_ + sizeof bytes_);
}

int StagedText::Buffer::overflow(int c) {
    if (sync() != 0)
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof()))
        sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

int StagedText::Buffer::sync() {
    const auto size = static_cast<std::size_t>(pptr() - pbase());
    setp(bytes_, bytes_ + sizeof bytes_);
    return size == 0 || file_.write(bytes_, size) ? 0 : -1;
}

std::unique_ptr<StagedText> StagedText::open(const std::string& path, std::string& why) {
    auto file = OutputFile::open(path, OutputFile::Mode::Staged, {}, why);
    return file ? std::unique_ptr<StagedText>(new StagedText(std::move(file))) : nullptr;
}

bool StagedText::commit(std::string& why) {
    if (stream_.flush())
        return file_->commit(why);
    why = file_->failure();
    return false;
}

}  // namespace trelvo::cli
