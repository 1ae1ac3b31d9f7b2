// The extended-length form a long path takes at the Win32 edge: the rules as a table (no system
// call, so on every system), and on Windows the making of relative names full first.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <string>

#include "files/long_path.h"
#include "files/utf16.h"

namespace trelvo {
namespace {

// A folder name that makes any path it is in long.
const std::string kLong = std::string(270, 'x');

std::string form(const std::string& path) {
    return fromUtf16(longPathForm(toUtf16(path)));
}

TEST(LongPath, Rules) {
    const std::string d259 = "C:\\" + std::string(256, 'a');
    const struct {
        std::string in, out;
    } rows[] = {
        {"C:\\Lib\\a.d", "C:\\Lib\\a.d"},      // short: unchanged
        {"C:/Lib/a.d", "C:/Lib/a.d"},          // short, even with forward slashes
        {d259, d259},                          // 259 characters: still short
        {d259 + "b", "\\\\?\\" + d259 + "b"},  // 260: long
        {"C:\\" + kLong + "\\a.d", "\\\\?\\C:\\" + kLong + "\\a.d"},
        {"d:/" + kLong + "/a.d", "\\\\?\\d:\\" + kLong + "\\a.d"},
        {"\\\\srv\\share\\" + kLong + "\\a.d", "\\\\?\\UNC\\srv\\share\\" + kLong + "\\a.d"},
        {"//srv/share/" + kLong + "/a.d", "\\\\?\\UNC\\srv\\share\\" + kLong + "\\a.d"},
        {"\\\\?\\C:\\" + kLong + "\\a.d", "\\\\?\\C:\\" + kLong + "\\a.d"},  // already
        {"\\\\?\\UNC\\s\\h\\" + kLong, "\\\\?\\UNC\\s\\h\\" + kLong},
        {"\\\\.\\pipe\\" + kLong, "\\\\.\\pipe\\" + kLong},  // the device space
        {kLong + "\\" + kLong, kLong + "\\" + kLong},        // relative: not full
        {"C:" + kLong + "\\a.d", "C:" + kLong + "\\a.d"},    // relative to drive C's folder
        {"\\" + kLong + "\\a.d", "\\" + kLong + "\\a.d"},    // relative to the current drive
    };
    for (const auto& row : rows)
        EXPECT_EQ(form(row.in), row.out) << row.in.size() << " characters: " << row.in;
}

TEST(LongPath, FullPaths) {
    EXPECT_TRUE(isFullPath(u"C:\\"));
    EXPECT_TRUE(isFullPath(u"z:/a"));
    EXPECT_TRUE(isFullPath(u"\\\\srv\\share"));
    EXPECT_FALSE(isFullPath(u"C:a.d"));
    EXPECT_FALSE(isFullPath(u"\\a.d"));
    EXPECT_FALSE(isFullPath(u"a.d"));
    EXPECT_FALSE(isFullPath(u""));
}

#if defined(_WIN32)
TEST(LongPath, RelativeNamesAreMadeFullFirst) {
    wchar_t here[32768];
    const DWORD n = GetCurrentDirectoryW(32768, here);
    ASSERT_GT(n, 0u);
    std::string folder = narrow(std::wstring_view(here, n));
    if (folder.back() != '\\')
        folder += '\\';
    ASSERT_FALSE(folder.starts_with("\\\\"));  // a drive, as the tests run
    EXPECT_EQ(narrow(systemPath("a.d")), "a.d");
    EXPECT_EQ(narrow(systemPath(kLong + "/../" + kLong + "/./a.d")),
              "\\\\?\\" + folder + kLong + "\\a.d");
    EXPECT_EQ(narrow(systemPath("C:\\" + kLong + "\\..\\" + kLong + "/a.d")),
              "\\\\?\\C:\\" + kLong + "\\a.d");
    EXPECT_EQ(narrow(systemPath("C:\\Lib/a.d")), "C:\\Lib/a.d");
}
#endif

}  // namespace
}  // namespace trelvo
