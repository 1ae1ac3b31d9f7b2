// trelvo-cli.exe on Windows: names outside ASCII in UTF-16 arguments, the in-place replacement
// with its backup, libraries another program holds with a sharing lock, and the same file under
// another spelling (case, 8.3 short name, hard link).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli_run.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using trelvo::test::crlf;
using trelvo::test::readFile;
using trelvo::test::runCli;
using trelvo::test::TempDir;
using trelvo::test::writeFile;

const std::string kSig = "*PADS-LIBRARY-PCB-DECALS-V9*";
const std::string kLib = crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN 2 10 26 -1", "0 0", "",
                               "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE 2 0.254 26 -1", "0 0"});
const std::string kLibLayer1 =
    crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN  2  10  1  -1", "0 0", "",
          "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE  2  0.254  1  -1", "0 0"});
const std::string kDone2 = "Processing complete.\n2 Decal(s) updated.\n";
// The failure lines, naming the INPUT; the system's reason follows in parentheses, if any.
std::string readError(const std::string& input) {
    return "trelvo-cli: " + input +
           ": File read error: Filename error -please check dir and filename and retry.";
}
std::string writeError(const std::string& input) {
    return "trelvo-cli: " + input +
           ": File write error: Error: File I/O or User Entry -Processing incomplete!";
}
// A read error for input with the system's reason, whatever its words here.
bool isReadErrorWithReason(const std::string& err, const std::string& input) {
    return err.starts_with(readError(input) + " (") && err.ends_with(")\n") &&
           err.find('\n') == err.size() - 1;
}

// "Stecker ü.d": the name in UTF-8 (as the program and its output hold it) and in UTF-16.
const std::string kUmlautName = "Stecker \xC3\xBC.d";
const std::wstring kUmlautWide = L"Stecker \u00FC.d";

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Files by their UTF-16 names: the narrow std::fstream names would go through the ANSI code page.
void writeWide(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
}

std::string readWide(const fs::path& p) {
    if (!fs::is_regular_file(p))
        return {};
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::wstring> listWide(const TempDir& dir) {
    std::vector<std::wstring> names;
    for (const auto& e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

struct Identity {
    DWORD volume = 0;
    std::uint64_t index = 0;
    DWORD links = 0;
    bool operator==(const Identity& o) const { return volume == o.volume && index == o.index; }
};

Identity identityOf(const fs::path& p) {
    HANDLE h = CreateFileW(p.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    Identity id;
    BY_HANDLE_FILE_INFORMATION info{};
    if (h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info)) {
        id.volume = info.dwVolumeSerialNumber;
        id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
        id.links = info.nNumberOfLinks;
    }
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return id;
}

// Another program's handle on a file, with the sharing it grants.
class HeldOpen {
public:
    HeldOpen(const fs::path& p, DWORD access, DWORD share)
        : h_(CreateFileW(p.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr)) {}
    ~HeldOpen() {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// ---- Names outside ASCII -------------------------------------------------------------------

TEST(TrelvoCliWindows, NonAsciiNameEndToEnd) {
    TempDir dir;
    writeWide(dir.path() / kUmlautWide, kLib);
    const auto r = runCli({"--layer", "26:1", kUmlautName}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    // Standard output is a file: the name comes out as its UTF-8 bytes, lines end in "\n".
    EXPECT_EQ(r.out, kDone2 + "Updated decal file written to: Stecker \xC3\xBC_new.d\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readWide(dir.path() / L"Stecker \u00FC_new.d"), kLibLayer1);
    EXPECT_EQ(readWide(dir.path() / kUmlautWide), kLib);
    EXPECT_EQ(listWide(dir), (std::vector<std::wstring>{kUmlautWide, L"Stecker \u00FC_new.d"}));
}

TEST(TrelvoCliWindows, NonAsciiFolderAndFullWindowsPath) {
    TempDir dir;
    const fs::path folder = dir.path() / L"Bibliothek \u00C4\u00D6\u00DC \u65E5\u672C";
    fs::create_directory(folder);
    writeWide(folder / kUmlautWide, kLib);
    const std::wstring full = (folder / kUmlautWide).wstring();
    std::string fullUtf8(
        static_cast<std::size_t>(WideCharToMultiByte(
            CP_UTF8, 0, full.data(), static_cast<int>(full.size()), nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, full.data(), static_cast<int>(full.size()), fullUtf8.data(),
                        static_cast<int>(fullUtf8.size()), nullptr, nullptr);
    ASSERT_TRUE(fullUtf8.starts_with("C:\\")) << fullUtf8;
    const auto r = runCli({"--width", "*:5", "--report", "-", fullUtf8}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string derived = fullUtf8.substr(0, fullUtf8.size() - 2) + "_new.d";
    // The CSV report on standard output keeps its own CR LF, and the input column is the name
    // exactly as given.
    EXPECT_EQ(r.out, "input,decal,line,keyword,old_layer,new_layer,old_width,new_width,unit\r\n" +
                         fullUtf8 + ",DIP8,4,OPEN,26,26,10,5,I\r\n" + fullUtf8 +
                         ",SOT23,8,CIRCLE,26,26,0.254,0.127,M\r\n");
    EXPECT_EQ(r.err, kDone2 + "Updated decal file written to: " + derived + "\n");
    EXPECT_TRUE(fs::exists(folder / L"Stecker \u00FC_new.d"));
}

TEST(TrelvoCliWindows, DotBackslashInputDerivesBesideIt) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    const auto r = runCli({"--layer", "26:1", ".\\parts.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kDone2 + "Updated decal file written to: .\\parts_new.d\n");
    EXPECT_EQ(readFile(dir.file("parts_new.d")), kLibLayer1);
}

TEST(TrelvoCliWindows, UsageErrorNamesTheInputInUtf8) {
    TempDir dir;
    const auto r = runCli({"--layer", "26:1", "Stecker \xC3\xBC.txt"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "trelvo-cli: cannot derive an output name from 'Stecker \xC3\xBC.txt' (it does not "
              "end in a point and one character); give -o OUTPUT\n"
              "Try 'trelvo-cli --help' for more information.\n");
}

// ---- In place ------------------------------------------------------------------------------

TEST(TrelvoCliWindows, InPlaceKeepsTheOriginalAsOrigAndReplacesTheFile) {
    TempDir dir;
    const fs::path lib = dir.path() / kUmlautWide;
    writeWide(lib, kLib);
    const Identity before = identityOf(lib);
    ASSERT_NE(before.index, 0u);
    const auto r = runCli({"--layer", "26:1", "--in-place", kUmlautName}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kDone2 + "Updated decal file written to: " + kUmlautName + "\n");
    EXPECT_EQ(readWide(lib), kLibLayer1);
    const fs::path orig = dir.path() / (kUmlautWide + L".orig");
    EXPECT_EQ(readWide(orig), kLib);
    EXPECT_EQ(listWide(dir), (std::vector<std::wstring>{kUmlautWide, kUmlautWide + L".orig"}));
    // The backup is the original file itself, kept by a hard link; the library is a new file.
    const Identity kept = identityOf(orig);
    EXPECT_TRUE(kept == before);
    EXPECT_EQ(kept.links, 1u);
    EXPECT_FALSE(identityOf(lib) == before);

    // Again: the backup becomes the file as it was before this run.
    const auto again = runCli({"--layer", "1:2", "--in-place", kUmlautName}, dir);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(readWide(orig), kLibLayer1);
}

TEST(TrelvoCliWindows, InPlaceKeepsTheFileAttributes) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    const std::wstring name = (dir.path() / L"a.d").wstring();
    constexpr DWORD kSet = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(name.c_str(), kSet));
    const DWORD stored = GetFileAttributesW(name.c_str());
    if ((stored & kSet) != kSet)
        GTEST_SKIP() << "this file system keeps no DOS attributes";
    const auto r = runCli({"--layer", "26:1", "--in-place", "--no-backup", "a.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("a.d")), kLibLayer1);
    EXPECT_EQ(GetFileAttributesW(name.c_str()) & (kSet | FILE_ATTRIBUTE_READONLY), kSet);
    EXPECT_EQ(trelvo::test::listDir(dir), std::vector<std::string>{"a.d"});
}

TEST(TrelvoCliWindows, ReadOnlyLibraryIsNotReplaced) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    const std::wstring name = (dir.path() / L"a.d").wstring();
    ASSERT_TRUE(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY));
    const auto r = runCli({"--layer", "26:1", "--in-place", "a.d"}, dir);
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, writeError("a.d") +
                         "\ntrelvo-cli: cannot replace 'a.d': the file is read-only; 'a.d' is "
                         "unchanged\n");
    EXPECT_EQ(readFile(dir.file("a.d")), kLib);
    EXPECT_EQ(trelvo::test::listDir(dir), std::vector<std::string>{"a.d"});
}

// ---- Long paths ----------------------------------------------------------------------------

// The names in a folder, whatever the length of its path (given in the extended-length form).
std::vector<std::wstring> listLong(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (found.cFileName != std::wstring(L".") && found.cFileName != std::wstring(L".."))
            names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TrelvoCliWindows, LibraryAtAPathOfOver300Characters) {
    TempDir dir;
    // Three folders of 100 characters each; the name given to trelvo-cli has forward slashes, as
    // a user may type it, which the extended-length form does not take.
    std::wstring folder = L"\\\\?\\" + dir.path().wstring();
    std::vector<std::wstring> made;
    for (wchar_t c : {L'a', L'b', L'c'}) {
        folder += L"\\" + std::wstring(100, c);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
        made.insert(made.begin(), folder);
    }
    std::string lib = trelvo::test::nameOf(fs::path(folder.substr(4) + L"\\lib.d"));
    std::replace(lib.begin(), lib.end(), '\\', '/');
    ASSERT_GE(lib.size(), 300u);
    writeWide(folder + L"\\lib.d", kLib);

    const auto r = runCli({"--layer", "26:1", lib}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readWide(folder + L"\\lib_new.d"), kLibLayer1);
    const auto inPlace = runCli({"--layer", "26:1", "--in-place", lib}, dir);
    EXPECT_EQ(inPlace.status, 0) << inPlace.err;
    EXPECT_EQ(readWide(folder + L"\\lib.d"), kLibLayer1);
    EXPECT_EQ(readWide(folder + L"\\lib.d.orig"), kLib);
    EXPECT_EQ(listLong(folder), (std::vector<std::wstring>{L"lib.d", L"lib.d.orig", L"lib_new.d"}));

    // Deeper than the temporary folder's own removal may reach on Windows.
    for (const auto& name : listLong(folder))
        DeleteFileW((folder + L"\\" + name).c_str());
    for (const auto& f : made)
        RemoveDirectoryW(f.c_str());
}

// ---- Sharing locks -------------------------------------------------------------------------

TEST(TrelvoCliWindows, LibraryLockedByAnotherProgramIsAReadError) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("b.d"), kLib);
    const HeldOpen lock(dir.path() / L"a.d", GENERIC_READ, 0);
    ASSERT_TRUE(lock.ok());

    auto r = runCli({"--layer", "26:1", "a.d"}, dir);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(isReadErrorWithReason(r.err, "a.d")) << r.err;
    EXPECT_FALSE(fs::exists(dir.path() / L"a_new.d"));

    r = runCli({"--layer", "26:1", "--in-place", "a.d"}, dir);
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(isReadErrorWithReason(r.err, "a.d")) << r.err;

    // In a batch the other files go on.
    r = runCli({"--layer", "26:1", "a.d", "b.d"}, dir);
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(isReadErrorWithReason(r.err, "a.d")) << r.err;
    EXPECT_TRUE(has(r.out, "a.d: File read error\nb.d: Done, 2 decal(s) updated -> b_new.d\n"))
        << r.out;
    EXPECT_EQ(trelvo::test::listDir(dir), (std::vector<std::string>{"a.d", "b.d", "b_new.d"}));
}

TEST(TrelvoCliWindows, LibraryThatMayNotBeReplacedNowStaysAsItWas) {
    // Another program reads the library and lets others read it too, but not delete or rename
    // it: the pass succeeds, the replacement cannot be made.
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    const HeldOpen reader(dir.path() / L"a.d", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(reader.ok());
    const auto r =
        runCli({"--layer", "26:1", "--in-place", "--no-backup", "--report", "-", "a.d"}, dir);
    EXPECT_EQ(r.status, 7) << r.err;
    EXPECT_EQ(r.out, "input,decal,line,keyword,old_layer,new_layer,old_width,new_width,unit\r\n");
    EXPECT_TRUE(r.err.starts_with(writeError("a.d") + "\ntrelvo-cli: cannot replace 'a.d': "))
        << r.err;
    EXPECT_TRUE(r.err.ends_with("; 'a.d' is unchanged\n")) << r.err;
    EXPECT_EQ(readFile(dir.file("a.d")), kLib);
    EXPECT_EQ(trelvo::test::listDir(dir), std::vector<std::string>{"a.d"});
}

// ---- The same file under another spelling ---------------------------------------------------

TEST(TrelvoCliWindows, OutputInAnotherCaseIsTheInput) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    const auto r = runCli({"--layer", "26:1", "-o", "PARTS.D", "parts.d"}, dir);
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err, writeError("parts.d") + " ('PARTS.D' is the file being read)\n");
    EXPECT_EQ(readFile(dir.file("parts.d")), kLib);
    EXPECT_EQ(trelvo::test::listDir(dir), std::vector<std::string>{"parts.d"});
}

TEST(TrelvoCliWindows, OutputThroughAHardLinkIsTheInput) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    ASSERT_TRUE(CreateHardLinkW((dir.path() / L"link.d").c_str(), (dir.path() / L"parts.d").c_str(),
                                nullptr));
    const auto r = runCli({"--layer", "26:1", "-o", "link.d", "parts.d"}, dir);
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err, writeError("parts.d") + " ('link.d' is the file being read)\n");
    EXPECT_EQ(readFile(dir.file("parts.d")), kLib);
}

TEST(TrelvoCliWindows, OutputByItsShortNameIsTheInput) {
    TempDir dir;
    const fs::path lib = dir.path() / L"a rather long library name.d";
    writeWide(lib, kLib);
    wchar_t shortName[MAX_PATH];
    const DWORD n = GetShortPathNameW(lib.c_str(), shortName, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || fs::path(shortName).filename() == lib.filename())
        GTEST_SKIP() << "no 8.3 short names here";
    const std::string shortLeaf = fs::path(shortName).filename().string();
    const auto r =
        runCli({"--layer", "26:1", "-o", shortLeaf, "a rather long library name.d"}, dir);
    EXPECT_EQ(r.status, 7) << shortLeaf;
    EXPECT_EQ(r.err, writeError("a rather long library name.d") + " ('" + shortLeaf +
                         "' is the file being read)\n");
    EXPECT_EQ(readWide(lib), kLib);
}

TEST(TrelvoCliWindows, BatchRefusesOneFileUnderTwoSpellings) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("p.d"), kLib);
    writeFile(dir.file("P.e"), kLib);
    ASSERT_TRUE(
        CreateHardLinkW((dir.path() / L"same.d").c_str(), (dir.path() / L"a.d").c_str(), nullptr));
    const std::vector<std::string> before = trelvo::test::listDir(dir);
    struct Row {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Row> rows = {
        {{"--layer", "26:1", "a.d", "A.D"}, "INPUT 'A.D' names the same file as 'a.d'"},
        {{"--layer", "26:1", "a.d", "same.d"}, "INPUT 'same.d' names the same file as 'a.d'"},
        {{"--layer", "26:1", "--in-place", "a.d", "SAME.D"},
         "INPUT 'SAME.D' names the same file as 'a.d'"},
        // Two outputs yet to be written, in one file whatever the case.
        {{"--layer", "26:1", "p.d", "P.e"}, "'p.d' and 'P.e' would both be written to 'P_new.d'"},
    };
    for (const Row& row : rows) {
        const auto r = runCli(row.args, dir);
        EXPECT_EQ(r.status, 2) << row.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "trelvo-cli: " + row.err + "\nTry 'trelvo-cli --help' for more information.\n");
        EXPECT_EQ(trelvo::test::listDir(dir), before);
    }
}

}  // namespace
