// std::cout and std::cerr of trelvo-cli.exe. Inside, every text is UTF-8. A console is given the
// text as UTF-16 (WriteConsoleW), so that names in any script show as they are whatever the
// console's code page; a file or pipe receives the UTF-8 bytes exactly as written, "\n" staying
// "\n" as on Linux (a CSV report on standard output keeps its CR LF, and nothing else is added).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>

#include "cli/console.h"
#include "files/utf16.h"

namespace trelvo::cli {

namespace {

class StdHandleBuf : public std::streambuf {
public:
    explicit StdHandleBuf(DWORD which) : handle_(GetStdHandle(which)) {
        DWORD mode = 0;
        console_ =
            handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
        setp(buffer_, buffer_ + sizeof buffer_);
    }

protected:
    int_type overflow(int_type c) override {
        if (!drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return drain() ? 0 : -1; }

private:
    bool drain() {
        const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
        setp(buffer_, buffer_ + sizeof buffer_);
        return console_ ? toConsole(n) : toFile(n);
    }

    bool toFile(std::size_t n) {
        const char* data = buffer_;
        while (n > 0) {
            DWORD done = 0;
            if (!WriteFile(handle_, data, static_cast<DWORD>(n), &done, nullptr) || done == 0)
                return false;
            data += done;
            n -= done;
        }
        return true;
    }

    bool toConsole(std::size_t n) {
        pending_.append(buffer_, n);
        // A character whose bytes are split between two writes waits for the rest.
        std::size_t complete = pending_.size();
        for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
            const auto c = static_cast<unsigned char>(pending_[pending_.size() - back]);
            if ((c & 0xC0) == 0x80)
                continue;  // a continuation byte
            const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (length > back)
                complete = pending_.size() - back;
            break;
        }
        const std::wstring text = widen(std::string_view(pending_).substr(0, complete));
        pending_.erase(0, complete);
        const wchar_t* data = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            DWORD done = 0;
            if (!WriteConsoleW(handle_, data, static_cast<DWORD>(left), &done, nullptr) ||
                done == 0)
                return false;
            data += done;
            left -= done;
        }
        return true;
    }

    HANDLE handle_;
    bool console_ = false;
    char buffer_[4096];
    std::string pending_;
};

}  // namespace

void useWindowsStandardStreams() {
    // Whatever else writes through the C runtime writes bytes too, not text-mode CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Never freed: std::cout is flushed once more when the program ends, after every static
    // object of ours is gone.
    std::cout.rdbuf(new StdHandleBuf(STD_OUTPUT_HANDLE));
    std::cerr.rdbuf(new StdHandleBuf(STD_ERROR_HANDLE));
}

}  // namespace trelvo::cli
