// File channels on Win32 files: UTF-8 names that reach Windows as UTF-16, the refusal to empty an
// open input by any other name for it, sharing locks that fail at once instead of waiting,
// folders and devices refused as input, hidden files replaced as output, and a failed write that
// is never reported as done.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "pair_run.h"
#include "files/channels.h"
#include "files/native_file.h"
#include "files/utf16.h"
#include "test_files.h"

namespace trelvo {
namespace {

using test::crlf;
using test::readFile;
using test::writeFile;

const std::string kKeep = crlf({"*PADS-LIBRARY-PCB-DECALS-V9*", "", "keep"});

// A file's bytes read by its UTF-16 name with Win32 calls alone; "<none>" when it cannot be opened.
std::string readWide(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<none>";
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

// The names in a folder, as Windows lists them.
std::vector<std::wstring> listWide(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

// A handle on a file as another program would hold it while a test runs.
class Held {
public:
    Held(const std::string& path, DWORD access, DWORD share)
        : h_(CreateFileW(widen(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Held() { release(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

    HANDLE get() const { return h_; }
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    void release() {
        if (ok())
            CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_;
};

// Makes a folder the current one for the life of the object.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder) {
        wchar_t saved[MAX_PATH];
        const DWORD n = GetCurrentDirectoryW(MAX_PATH, saved);
        saved_.assign(saved, n);
        changed_ = n > 0 && n < MAX_PATH && SetCurrentDirectoryW(folder.wstring().c_str());
    }
    ~InFolder() {
        if (changed_)
            SetCurrentDirectoryW(saved_.c_str());
    }
    bool changed() const { return changed_; }

private:
    std::wstring saved_;
    bool changed_ = false;
};

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return s;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return s;
}

using RunResult = test::PairRun;

// Layer 26 to 1 over real files, as a front end runs it.
RunResult runLayer(const std::string& in, const std::string& out,
                   const std::function<void(const Rewrite&)>& onRewrite = {}) {
    return test::runPairsOnFiles(in, out, {true, false, "26", "1", "10", "5"}, {}, onRewrite);
}

void expectReport(const RunResult& r, Outcome outcome, const Report& report) {
    EXPECT_EQ(r.outcome, outcome);
    EXPECT_EQ(r.report.text, report.text);
    EXPECT_EQ(r.report.title, report.title);
    EXPECT_EQ(r.report.icon, report.icon);
}

// ----- names ------------------------------------------------------------------------------------

TEST(FileChannelsWin32, NonAsciiNamesOpenForInputAndOutput) {
    struct Name {
        std::string utf8;
        std::wstring utf16;
    };
    const Name names[] = {
        {"Stecker \xc3\xbc.d", L"Stecker \u00fc.d"},
        {"\xe9\x83\xa8\xe5\x93\x81.d", L"\u90e8\u54c1.d"},
        {"x\xf0\x9f\x94\x8c.d", L"x\xd83d\xdd0c.d"},
    };
    test::TempDir dir;
    std::vector<std::wstring> expected;
    for (const Name& name : names) {
        SCOPED_TRACE(name.utf8);
        const std::string path = dir.file(name.utf8);
        FileChannels files;
        ASSERT_TRUE(files.OpenOutput(1, path));
        EXPECT_TRUE(files.WriteLine(1, "*PADS-LIBRARY-PCB-DECALS-V9*"));
        EXPECT_TRUE(files.WriteLine(1, name.utf8));
        EXPECT_TRUE(files.Close(1));
        // Created under its own UTF-16 name, not a code-page rendering of the UTF-8 bytes.
        EXPECT_EQ(readWide(dir.path().wstring() + L"\\" + name.utf16),
                  "*PADS-LIBRARY-PCB-DECALS-V9*\r\n" + name.utf8 + "\r\n");
        expected.push_back(name.utf16);

        ASSERT_TRUE(files.OpenInput(2, path));
        std::string_view line;
        ASSERT_TRUE(files.ReadLine(2, line));
        ASSERT_TRUE(files.ReadLine(2, line));
        EXPECT_EQ(line, name.utf8);
        EXPECT_TRUE(files.AtEnd(2));
        EXPECT_TRUE(files.Close(2));
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listWide(dir.path().wstring()), expected);
}

TEST(FileChannelsWin32, NonAsciiLibraryRunsToDone) {
    test::TempDir dir;
    const std::string in = dir.file("Stecker \xc3\xbc.d");
    const std::string out = dir.file("Stecker \xc3\xbc_new.d");
    const std::string lib = crlf(
        {"*PADS-LIBRARY-PCB-DECALS-V9*", "", "A I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1", "0 0"});
    writeFile(in, lib);
    expectReport(runLayer(in, out), Outcome::Done, messages::done(1, out));
    EXPECT_EQ(readWide(dir.path().wstring() + L"\\Stecker \u00fc_new.d"),
              crlf({"*PADS-LIBRARY-PCB-DECALS-V9*", "", "A I 0 0 1 1 1 0 1 1 0",
                    "OPEN  2  10  1  -1", "0 0"}));
    EXPECT_EQ(readFile(in), lib);
}

// ----- the same file by another name ------------------------------------------------------------

// An input open on channel 1; every other name for it must be refused as the output while it is
// open (nothing emptied), and must open as an output once it is closed (so the refusal came from
// knowing the file, not from a name that leads nowhere).
class OtherName : public ::testing::Test {
protected:
    void SetUp() override {
        in_ = dir_.file("Library of parts.d");  // long, so that its 8.3 name differs
        writeFile(in_, kKeep);
    }

    void expectSameFile(const std::string& name) {
        SCOPED_TRACE(name);
        {
            FileChannels files;
            ASSERT_TRUE(files.OpenInput(1, in_));
            EXPECT_FALSE(files.OpenOutput(2, name));
            EXPECT_FALSE(files.IsOpen(2));
            EXPECT_EQ(readFile(in_), kKeep);
            std::string_view line;
            EXPECT_TRUE(files.ReadLine(1, line));  // the input is still fine to read
            EXPECT_EQ(line, "*PADS-LIBRARY-PCB-DECALS-V9*");
        }
        // Through a whole run as well: the input is never the output.
        const RunResult r = runLayer(in_, name);
        expectReport(r, Outcome::RunError, messages::writeError());
        EXPECT_EQ(readFile(in_), kKeep);

        FileChannels files;
        ASSERT_TRUE(files.OpenOutput(1, name));
        EXPECT_TRUE(files.WriteLine(1, "replaced"));
        EXPECT_TRUE(files.Close(1));
        EXPECT_EQ(readFile(in_), "replaced\r\n");
        writeFile(in_, kKeep);
    }

    test::TempDir dir_;
    std::string in_;
};

TEST_F(OtherName, TheSameName) {
    expectSameFile(in_);
}

TEST_F(OtherName, LetterCase) {
    expectSameFile(upper(in_));
    expectSameFile(lower(in_));
}

TEST_F(OtherName, ForwardSlashesAndDoubledOrDottedFolders) {
    std::string slashes = in_;
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    expectSameFile(slashes);
    const std::string folder = dir_.path().string();
    expectSameFile(folder + "\\.\\Library of parts.d");
    expectSameFile(folder + "\\no-such-folder\\..\\Library of parts.d");
}

TEST_F(OtherName, TrailingDotsAndSpacesThatWindowsDrops) {
    expectSameFile(in_ + ".");
    expectSameFile(in_ + " ");
}

TEST_F(OtherName, ExtendedLengthPrefix) {
    expectSameFile("\\\\?\\" + in_);
}

TEST_F(OtherName, RelativeToTheCurrentFolder) {
    const InFolder here(dir_.path());
    ASSERT_TRUE(here.changed());
    expectSameFile("Library of parts.d");
    expectSameFile(".\\Library of parts.d");
    const std::string folder = dir_.path().string();
    ASSERT_GE(folder.size(), 3u);
    ASSERT_EQ(folder[1], ':');
    expectSameFile(folder.substr(0, 2) +
                   "Library of parts.d");  // C:name, the drive's current folder
    expectSameFile(folder.substr(2) + "\\Library of parts.d");  // \path, the current drive's root
    const std::string parent = "..\\" + dir_.path().filename().string() + "\\Library of parts.d";
    expectSameFile(parent);
}

TEST_F(OtherName, ShortName) {
    wchar_t shortName[MAX_PATH];
    const DWORD n = GetShortPathNameW(widen(in_).c_str(), shortName, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        GTEST_SKIP() << "the file system keeps no 8.3 names";
    const std::string name = narrow(std::wstring(shortName, n));
    if (upper(name) == upper(in_))
        GTEST_SKIP() << "the short name is the long one";
    expectSameFile(name);
}

TEST_F(OtherName, HardLink) {
    const std::string link = dir_.file("hard link.d");
    ASSERT_TRUE(CreateHardLinkW(widen(link).c_str(), widen(in_).c_str(), nullptr))
        << GetLastError();
    expectSameFile(link);
}

TEST_F(OtherName, SymbolicLink) {
    const std::string link = dir_.file("symbolic link.d");
    if (!CreateSymbolicLinkW(widen(link).c_str(), widen(in_).c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        GTEST_SKIP() << "this user may not make symbolic links (error " << GetLastError() << ")";
    }
    // Wine's call reports success and makes nothing.
    if (GetFileAttributesW(widen(link).c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the symbolic link was reported made but is not there";
    expectSameFile(link);
}

TEST(FileIdentity, SameFileSameIdOtherFileOtherId) {
    test::TempDir dir;
    const std::string a = dir.file("a.d"), b = dir.file("b.d");
    writeFile(a, kKeep);
    writeFile(b, kKeep);  // the same bytes: only the identity tells them apart
    const native::FileId ia = native::identify(a), ib = native::identify(b);
    ASSERT_TRUE(ia.known);
    ASSERT_TRUE(ib.known);
    EXPECT_FALSE(ia == ib);
    EXPECT_TRUE(ia == native::identify(upper(a)));
    EXPECT_FALSE(ia == native::identify(dir.path().string()));
    EXPECT_FALSE(native::identify(dir.file("missing.d")).known);

    // What an open handle reports is what the name reports, and a sharing lock hides nothing.
    native::FileId opened;
    const native::Handle h = native::openRead(a, opened);
    ASSERT_NE(h, native::kNoFile);
    EXPECT_TRUE(opened == ia);
    const Held lock(b, GENERIC_READ, 0);
    ASSERT_TRUE(lock.ok());
    EXPECT_TRUE(native::identify(b) == ib);
    EXPECT_TRUE(native::close(h));
}

// ----- sharing locks ----------------------------------------------------------------------------

TEST(FileChannelsWin32, FileHeldWithoutSharingFailsAtOnce) {
    test::TempDir dir;
    const std::string in = dir.file("held.d");
    writeFile(in, kKeep);
    for (DWORD access :
         {DWORD{GENERIC_READ}, DWORD{GENERIC_WRITE}, DWORD{GENERIC_READ | GENERIC_WRITE}}) {
        SCOPED_TRACE(access);
        Held other(in, access, 0);
        ASSERT_TRUE(other.ok());
        FileChannels files;
        EXPECT_FALSE(files.OpenInput(1, in));
        EXPECT_FALSE(files.IsOpen(1));
        EXPECT_FALSE(files.OpenOutput(2, in));
        EXPECT_FALSE(files.IsOpen(2));
        other.release();
        EXPECT_EQ(readFile(in), kKeep);
        EXPECT_TRUE(files.OpenInput(1, in));  // free again: it opens
    }
}

TEST(FileChannelsWin32, FileOthersReadOrWriteWhileSharingStaysReadable) {
    test::TempDir dir;
    const std::string in = dir.file("shared.d");
    writeFile(in, kKeep);
    {
        // A reader that lets others read: reading works, emptying it under that reader does not.
        const Held reader(in, GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(reader.ok());
        FileChannels files;
        EXPECT_TRUE(files.OpenInput(1, in));
        EXPECT_FALSE(files.OpenOutput(2, in));
        EXPECT_FALSE(files.OpenOutput(3, upper(in)));
    }
    {
        // A writer that shares everything, as an exporting program may.
        const Held writer(in, GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        ASSERT_TRUE(writer.ok());
        FileChannels files;
        ASSERT_TRUE(files.OpenInput(1, in));
        std::string_view line;
        EXPECT_TRUE(files.ReadLine(1, line));
        EXPECT_EQ(line, "*PADS-LIBRARY-PCB-DECALS-V9*");
    }
    EXPECT_EQ(readFile(in), kKeep);
}

TEST(RunSequenceWin32, LockedLibraryIsAReadErrorAndNothingIsCreated) {
    test::TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("lib_new.d");
    writeFile(in, kKeep);
    const Held lock(in, GENERIC_READ, 0);
    ASSERT_TRUE(lock.ok());
    expectReport(runLayer(in, out), Outcome::FileReadError, messages::fileReadError());
    EXPECT_FALSE(std::filesystem::exists(test::pathOf(out)));
}

TEST(RunSequenceWin32, LockedOutputIsAWriteErrorAndStaysAsItWas) {
    test::TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("lib_new.d");
    writeFile(in, kKeep);
    writeFile(out, "an earlier output\r\n");
    {
        const Held lock(out, GENERIC_READ, 0);
        ASSERT_TRUE(lock.ok());
        expectReport(runLayer(in, out), Outcome::RunError, messages::writeError());
    }
    EXPECT_EQ(readFile(out), "an earlier output\r\n");
    EXPECT_EQ(readFile(in), kKeep);
}

TEST(RunSequenceWin32, ByteRangeLockedLibraryEndsInAWriteError) {
    // Opening works (the lock is on the bytes, not the file), reading fails: the run stops there
    // like any other read failure.
    test::TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("lib_new.d");
    writeFile(in, kKeep);
    const Held other(in, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(other.ok());
    OVERLAPPED whole{};
    ASSERT_TRUE(LockFileEx(other.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                           MAXDWORD, MAXDWORD, &whole));
    {
        const Held reader(in, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        char byte = 0;
        DWORD got = 0;
        if (ReadFile(reader.get(), &byte, 1, &got, nullptr) && got == 1)
            GTEST_SKIP() << "the lock does not stop reads through other handles (Wine)";
    }
    expectReport(runLayer(in, out), Outcome::RunError, messages::writeError());
    EXPECT_EQ(readFile(out), "");
    UnlockFileEx(other.get(), 0, MAXDWORD, MAXDWORD, &whole);
    EXPECT_EQ(readFile(in), kKeep);
}

// Sets a file's access list: an empty one lets nobody in, none at all lets everyone in.
bool setAccessList(const std::string& path, bool empty) {
    SECURITY_DESCRIPTOR sd;
    ACL acl;
    return InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
           InitializeAcl(&acl, sizeof acl, ACL_REVISION) &&
           SetSecurityDescriptorDacl(&sd, TRUE, empty ? &acl : nullptr, FALSE) &&
           SetFileSecurityW(widen(path).c_str(), DACL_SECURITY_INFORMATION, &sd);
}

TEST(RunSequenceWin32, LibraryWithoutReadAccessIsAReadError) {
    test::TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("lib_new.d");
    writeFile(in, kKeep);
    if (!setAccessList(in, true))
        GTEST_SKIP() << "the file system keeps no access lists";
    struct Restore {
        std::string path;
        ~Restore() { setAccessList(path, false); }
    } restore{in};
    {
        const Held probe(in, GENERIC_READ, FILE_SHARE_READ);
        if (probe.ok())
            GTEST_SKIP() << "access lists are not enforced here (Wine)";
    }
    expectReport(runLayer(in, out), Outcome::FileReadError, messages::fileReadError());
    EXPECT_FALSE(std::filesystem::exists(test::pathOf(out)));
}

// ----- what is not a file -----------------------------------------------------------------------

TEST(FileChannelsWin32, FolderIsRefusedAsInputAndOutput) {
    test::TempDir dir;
    FileChannels files;
    for (const std::string& folder : {dir.path().string(), dir.path().string() + "\\"}) {
        SCOPED_TRACE(folder);
        EXPECT_FALSE(files.OpenInput(1, folder));
        EXPECT_FALSE(files.OpenOutput(2, folder));
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.path()));
    expectReport(runLayer(dir.path().string(), dir.file("out.d")), Outcome::FileReadError,
                 messages::fileReadError());
}

TEST(FileChannelsWin32, DevicesAreRefusedAsInput) {
    // A console or device would give no end of file, or wait for input that never comes.
    test::TempDir dir;
    FileChannels files;
    for (const std::string& device :
         {std::string("CON"), std::string("con"), std::string("CONIN$"), std::string("NUL"),
          std::string("\\\\.\\NUL"), std::string("\\\\.\\pipe\\trelvo-no-such-pipe")}) {
        SCOPED_TRACE(device);
        EXPECT_FALSE(files.OpenInput(1, device));
        EXPECT_FALSE(files.IsOpen(1));
    }
    expectReport(runLayer("NUL", dir.file("out.d")), Outcome::FileReadError,
                 messages::fileReadError());
    EXPECT_FALSE(std::filesystem::exists(test::pathOf(dir.file("out.d"))));
}

// A named pipe of this process, for the tests that need a reader or writer at the other end.
class Pipe {
public:
    explicit Pipe(DWORD direction)
        : name_("\\\\.\\pipe\\trelvo-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++serial_)),
          h_(CreateNamedPipeW(widen(name_).c_str(), direction, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                              1 << 16, 1 << 16, 0, nullptr)) {}
    ~Pipe() { close(); }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    const std::string& name() const { return name_; }
    void close() {
        if (ok())
            CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    static inline int serial_ = 0;
    std::string name_;
    HANDLE h_;
};

TEST(FileChannelsWin32, PipeIsRefusedAsInputAtOnce) {
    // Someone is at the other end but sends nothing: reading would wait for ever.
    Pipe pipe(PIPE_ACCESS_OUTBOUND);
    ASSERT_TRUE(pipe.ok());
    FileChannels files;
    EXPECT_FALSE(files.OpenInput(1, pipe.name()));
    EXPECT_FALSE(files.IsOpen(1));
}

// Windows has no device that is always full; an output pipe whose reader goes away in the middle
// of the run fails the same way: only when the buffered lines are written at the end.
TEST(UpdatePassFilesWin32, OutputThatFailsWhileWritingIsNeverReportedAsDone) {
    test::TempDir dir;
    const std::string in = dir.file("lib.d");
    const std::string lib = crlf(
        {"*PADS-LIBRARY-PCB-DECALS-V9*", "", "A I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1", "0 0"});
    writeFile(in, lib);
    Pipe pipe(PIPE_ACCESS_INBOUND);
    ASSERT_TRUE(pipe.ok());
    bool rewritten = false;
    const auto closePipe = [&](const Rewrite&) {
        rewritten = true;
        pipe.close();  // the reader is gone before a byte reaches it
    };
    expectReport(runLayer(in, pipe.name(), closePipe), Outcome::RunError, messages::writeError());
    EXPECT_TRUE(rewritten) << "the output did not open, so the write was never tried";
    EXPECT_EQ(readFile(in), lib);
}

// ----- attributes -------------------------------------------------------------------------------

TEST(FileChannelsWin32, HiddenAndSystemFilesAreReplacedAsOutput) {
    test::TempDir dir;
    for (DWORD attributes : {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_SYSTEM},
                             DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}}) {
        SCOPED_TRACE(attributes);
        const std::string out = dir.file("out.d");
        writeFile(out, "an earlier, longer output\r\n");
        ASSERT_TRUE(SetFileAttributesW(widen(out).c_str(), attributes));
        FileChannels files;
        ASSERT_TRUE(files.OpenOutput(1, out));
        EXPECT_TRUE(files.WriteLine(1, "new"));
        EXPECT_TRUE(files.Close(1));
        EXPECT_EQ(readWide(widen(out)), "new\r\n");
        const DWORD now = GetFileAttributesW(widen(out).c_str());
        EXPECT_EQ(now & attributes, attributes) << "the file keeps its attributes";
        ASSERT_TRUE(SetFileAttributesW(widen(out).c_str(), FILE_ATTRIBUTE_NORMAL));
        ASSERT_TRUE(DeleteFileW(widen(out).c_str()));
    }
}

TEST(FileChannelsWin32, ReadOnlyFileIsNotReplaced) {
    test::TempDir dir;
    const std::string out = dir.file("out.d");
    writeFile(out, "protected\r\n");
    ASSERT_TRUE(SetFileAttributesW(widen(out).c_str(), FILE_ATTRIBUTE_READONLY));
    FileChannels files;
    EXPECT_FALSE(files.OpenOutput(1, out));
    EXPECT_FALSE(files.IsOpen(1));
    EXPECT_EQ(readWide(widen(out)), "protected\r\n");
    EXPECT_TRUE(files.OpenInput(2, out));  // still a library to read
    EXPECT_TRUE(files.Close(2));
    ASSERT_TRUE(SetFileAttributesW(widen(out).c_str(), FILE_ATTRIBUTE_NORMAL));
}

}  // namespace
}  // namespace trelvo
