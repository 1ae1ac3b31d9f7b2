// Small helpers for tests that work on real files in a private temporary folder.
#pragma once

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace trelvo::test {

// A file system path from a UTF-8 name, as the program's own names are. On Windows the C++
// library would read a narrow name in the process's code page instead.
inline std::filesystem::path pathOf(const std::string& utf8) {
#if defined(_WIN32)
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return std::filesystem::path(utf8);
#endif
}

// The UTF-8 name of a path (what path::string() gives on Linux).
inline std::string nameOf(const std::filesystem::path& path) {
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("trelvo-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return nameOf(path_ / pathOf(name)); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(pathOf(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// The bytes of a plain file; empty for anything else (a folder, a device).
inline std::string readFile(const std::string& path) {
    if (!std::filesystem::is_regular_file(pathOf(path))) return {};
    std::ifstream in(pathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes link a symbolic link to target; false where the system's C++ library cannot (MinGW's
// has no symbolic links: channels_win32_test.cpp makes them with the Win32 call itself).
inline bool makeSymlink(const std::string& target, const std::string& link) {
    std::error_code ec;
    std::filesystem::create_symlink(pathOf(target), pathOf(link), ec);
    return !ec;
}

// The system's words for a file that is not there, as trelvo-cli passes them on.
inline std::string noSuchFileText() {
#if defined(_WIN32)
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, ERROR_FILE_NOT_FOUND, 0,
                                   reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring w = n > 0 && text ? std::wstring(text, n) : std::wstring();
    if (text) LocalFree(text);
    while (!w.empty() && (w.back() == L'\r' || w.back() == L'\n' || w.back() == L' ')) w.pop_back();
    return nameOf(std::filesystem::path(w));
#else
    return "No such file or directory";
#endif
}

// Joins lines with CR LF after each.
inline std::string crlf(std::initializer_list<std::string> lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

}  // namespace trelvo::test
