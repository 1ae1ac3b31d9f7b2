// Fault injection: a run under broken disks, odd paths, pipes that end early and hostile bytes.
// Every case checks the one outcome with its exact report, that the input is left byte for byte
// as it was, and the exact bytes of the output (or that none was created).
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/messages.h"
#include "engine/update.h"
#include "files/file_streams.h"
#include "pair_run.h"

namespace {

namespace fs = std::filesystem;
using trelvo::Outcome;
using trelvo::Report;

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "trelvo-fault-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// The bytes of a plain file, or nothing when there is no plain file at the path.
std::optional<std::string> readFile(const std::string& path) {
    if (!fs::is_regular_file(path))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines joined as the program writes them.
std::string crlf(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "\r\n";
    return s;
}

const std::string kSig = "*PADS-LIBRARY-PCB-DECALS-V9";
const std::string kLib = crlf(
    {kSig, "", "DIP14 I 0 0 0 0 3 2 0 1 0", "OPEN 2 10 26 -1", "0 0", "CLOSED 5 12 3 -1", "1 1"});
// kLib after layer 26 -> 1.
const std::string kLibOut = crlf({kSig, "", "DIP14 I 0 0 0 0 3 2 0 1 0", "OPEN  2  10  1  -1",
                                  "0 0", "CLOSED 5 12 3 -1", "1 1"});

using Result = trelvo::test::PairRun;

// One run of the layer pair, 26 -> 1, as a front end runs it.
Result runLayer(const std::string& in, const std::string& out, std::string oldLyr = "26",
                std::string newLyr = "1") {
    return trelvo::test::runPairsOnFiles(in, out, {true, false, oldLyr, newLyr, "", ""});
}

void expectReport(const Result& r, Outcome outcome, const Report& report) {
    EXPECT_EQ(r.outcome, outcome);
    EXPECT_EQ(r.report.text, report.text);
    EXPECT_EQ(r.report.title, report.title);
    EXPECT_EQ(r.report.icon, report.icon);
}

void expectWriteError(const Result& r) {
    expectReport(r, Outcome::RunError, trelvo::messages::writeError());
}

struct CliResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
};

// Runs trelvo-cli with args; prepare runs in the child before exec (limits, signals).
CliResult runCli(const TempDir& dir, const std::vector<std::string>& args,
                 const std::function<void()>& prepare = {}) {
    const std::string outFile = dir.file("cli.stdout"), errFile = dir.file("cli.stderr");
    std::vector<std::string> all{TRELVO_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0)
            ::_exit(126);
        if (prepare)
            prepare();
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    CliResult r;
    int ws = 0;
    if (pid > 0 && ::waitpid(pid, &ws, 0) == pid) {
        r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
    }
    r.out = readFile(outFile).value_or("");
    r.err = readFile(errFile).value_or("");
    return r;
}

constexpr int kExitDone = 0, kExitRead = 4, kExitWrite = 7;

// ----- output that cannot be written ----------------------------------------------------------

TEST(OutputFault, FullDeviceSmallLibrary) {
    // Everything fits the write buffer: the failure shows only when the output is closed.
    TempDir dir;
    const std::string in = dir.file("lib.d");
    writeFile(in, kLib);
    expectWriteError(runLayer(in, "/dev/full"));
    EXPECT_EQ(readFile(in), kLib);

    const auto cli = runCli(dir, {"--layer", "26:1", "-o", "/dev/full", in});
    EXPECT_EQ(cli.status, kExitWrite);
    EXPECT_EQ(cli.out.find("Processing complete"), std::string::npos);
    EXPECT_EQ(readFile(in), kLib);
}

TEST(OutputFault, FullDeviceLargeLibrary) {
    // Several buffers' worth: the failure shows in the middle of the pass.
    TempDir dir;
    const std::string in = dir.file("lib.d");
    std::string lib = kLib;
    for (int i = 0; i < 200000; ++i)
        lib += "OPEN 2 10 26 -1\r\n0 0\r\n";
    writeFile(in, lib);
    expectWriteError(runLayer(in, "/dev/full"));
    EXPECT_EQ(readFile(in), lib);
}

TEST(OutputFault, DiskFillsUpPartWay) {
    // A file size limit makes writes fail part-way, as a full disk does. The output keeps what
    // was written, a prefix of the complete result, and the run is not reported as done.
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("lib_new.d");
    std::string lib = kSig + "\r\n";
    for (int i = 0; i < 100000; ++i)
        lib += "\r\nD" + std::to_string(i) + " I 0 0 0 0 1 0 0 1 0\r\nOPEN 2 10 26 -1\r\n";
    writeFile(in, lib);
    // What was there before a failed run is still there after it, and nothing beside it.
    writeFile(out, "KEEP\r\n");
    for (rlim_t limit : {rlim_t{4000}, rlim_t{1500000}}) {
        SCOPED_TRACE(limit);
        const auto cli = runCli(dir, {"--layer", "26:1", "-o", out, in}, [limit] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit rl{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &rl);
        });
        EXPECT_EQ(cli.status, kExitWrite) << cli.err;
        EXPECT_EQ(cli.out.find("Processing complete"), std::string::npos);
        EXPECT_NE(cli.err.find("(cannot write '" + out + "': File too large)"), std::string::npos)
            << cli.err;
        EXPECT_EQ(readFile(out), "KEEP\r\n");
        EXPECT_EQ(readFile(in), lib);
        for (const auto& e : fs::directory_iterator(dir.path()))
            EXPECT_EQ(e.path().filename().string().find(".trelvo-"), std::string::npos);
    }
}

TEST(OutputFault, InPlaceReplacementWhenTheDiskFills) {
    // Replacing the input needs room for the new file; when the disk fills first, the input
    // stays exactly as it was and nothing half-written is left beside it.
    TempDir dir;
    const std::string work = dir.file("work");
    fs::create_directory(work);
    const std::string in = work + "/lib.d";
    std::string lib = kSig + "\r\n";
    for (int i = 0; i < 100000; ++i) {
        lib += "\r\nD" + std::to_string(i) + " I 0 0 0 0 1 0 0 1 0\r\nOPEN 2 10 26 -1\r\n";
    }
    for (rlim_t limit : {rlim_t{4000}, rlim_t{1500000}}) {
        SCOPED_TRACE(limit);
        writeFile(in, lib);
        const auto cli = runCli(dir, {"--layer", "26:1", "--in-place", in}, [limit] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit rl{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &rl);
        });
        EXPECT_EQ(cli.status, kExitWrite) << cli.err;
        EXPECT_EQ(readFile(in), lib);
        for (const auto& entry : fs::directory_iterator(work)) {
            EXPECT_EQ(entry.path().filename(), "lib.d") << "left behind: " << entry.path();
        }
    }
}

TEST(OutputFault, MissingFolder) {
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("missing/lib_new.d");
    writeFile(in, kLib);
    expectWriteError(runLayer(in, out));
    EXPECT_FALSE(fs::exists(dir.file("missing")));
    EXPECT_EQ(runCli(dir, {"--layer", "26:1", "-o", out, in}).status, kExitWrite);
    EXPECT_FALSE(fs::exists(dir.file("missing")));
    EXPECT_EQ(readFile(in), kLib);
}

TEST(OutputFault, PipeNobodyReadsIsRefusedInsteadOfHanging) {
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("pipe");
    writeFile(in, kLib);
    ASSERT_EQ(::mkfifo(out.c_str(), 0600), 0);
    expectWriteError(runLayer(in, out));
    EXPECT_EQ(readFile(in), kLib);
}

TEST(OutputFault, OutputIsAFolder) {
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("folder");
    writeFile(in, kLib);
    fs::create_directory(out);
    expectWriteError(runLayer(in, out));
    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(runCli(dir, {"--layer", "26:1", "-o", out, in}).status, kExitWrite);
    EXPECT_EQ(readFile(in), kLib);
}

// Makes a file unwritable for as long as it lives. Root ignores permission bits, so as root the
// file is marked immutable instead, where the file system and the process's capabilities allow.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path) : path_(path) {
        if (::geteuid() != 0) {
            ok_ = ::chmod(path.c_str(), 0444) == 0;
            return;
        }
        const int fd = ::open(path.c_str(), O_RDONLY);
        int attr = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &attr) == 0) {
            attr |= FS_IMMUTABLE_FL;
            ok_ = immutable_ = ::ioctl(fd, FS_IOC_SETFLAGS, &attr) == 0;
        }
        if (fd >= 0)
            ::close(fd);
    }
    ~ReadOnlyFile() {
        if (!immutable_)
            return;
        const int fd = ::open(path_.c_str(), O_RDONLY);
        int attr = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &attr) == 0) {
            attr &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &attr);
        }
        if (fd >= 0)
            ::close(fd);
    }
    bool ok() const { return ok_; }

private:
    std::string path_;
    bool ok_ = false;
    bool immutable_ = false;
};

TEST(OutputFault, ReadOnlyOutputFileIsLeftAsItWas) {
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("lib_new.d");
    writeFile(in, kLib);
    writeFile(out, "an older result\r\n");
    ReadOnlyFile guard(out);
    if (!guard.ok())
        GTEST_SKIP() << "cannot make a file unwritable here (root without the "
                        "immutable attribute)";
    expectWriteError(runLayer(in, out));
    EXPECT_EQ(readFile(out), "an older result\r\n");
    EXPECT_EQ(runCli(dir, {"--layer", "26:1", "-o", out, in}).status, kExitWrite);
    EXPECT_EQ(readFile(out), "an older result\r\n");
    EXPECT_EQ(readFile(in), kLib);
}

// ----- input that cannot be read ---------------------------------------------------------------

TEST(InputFault, InputIsAFolder) {
    TempDir dir;
    const std::string in = dir.file("folder.d"), out = dir.file("out.d");
    fs::create_directory(in);
    expectReport(runLayer(in, out), Outcome::FileReadError, trelvo::messages::fileReadError());
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(runCli(dir, {"--layer", "26:1", "-o", out, in}).status, kExitRead);
    EXPECT_FALSE(fs::exists(out));
}

TEST(InputFault, InputWithoutReadPermission) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their permissions";
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("out.d");
    writeFile(in, kLib);
    ::chmod(in.c_str(), 0);
    expectReport(runLayer(in, out), Outcome::FileReadError, trelvo::messages::fileReadError());
    EXPECT_FALSE(fs::exists(out));
    ::chmod(in.c_str(), 0644);
    EXPECT_EQ(readFile(in), kLib);
}

TEST(InputFault, InputThatCannotBeOpenedEvenByRoot) {
    // A symbolic link loop cannot be opened by anyone.
    TempDir dir;
    const std::string in = dir.file("loop.d"), out = dir.file("out.d");
    fs::create_symlink("loop.d", in);
    expectReport(runLayer(in, out), Outcome::FileReadError, trelvo::messages::fileReadError());
    EXPECT_FALSE(fs::exists(out));
}

TEST(InputFault, ReadFailsAfterOpening) {
    // This process's own memory file opens as a plain file, but reading at its start fails.
    if (::access("/proc/self/mem", R_OK) != 0)
        GTEST_SKIP() << "no /proc";
    TempDir dir;
    const std::string out = dir.file("out.d");
    expectWriteError(runLayer("/proc/self/mem", out));
    EXPECT_FALSE(readFile(out));
}

// Another program cuts the library short while the pass reads it: the pass ends in its read
// failure, saying so, instead of writing the part it had as if it were the whole library.
TEST(InputFault, LibraryCutShortUnderThePass) {
    std::string big = kLib.substr(0, kLib.rfind("*END*"));
    while (big.size() < (std::size_t{2} << 20))
        big += big.substr(big.find("\r\n\r\n") + 2, std::string::npos).substr(0, 4096);
    big += "*END*\r\n";
    for (const bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "written to a file" : "written to memory");
        TempDir dir;
        const std::string in = dir.file("lib.d"), out = dir.file("out.d");
        writeFile(in, big);
        std::string why;
        const auto input = trelvo::InputFile::open(in, why);
        ASSERT_TRUE(input) << why;
        fs::resize_file(in, 65536);  // after opening: the run expects the 2 MB it had
        std::string memory;
        trelvo::StringSink sink(memory);
        const auto file = toFile ? trelvo::OutputFile::open(out, trelvo::OutputFile::Mode::Staged,
                                                            {input->id()}, why)
                                 : nullptr;
        ASSERT_TRUE(!toFile || file) << why;
        const auto rules = trelvo::compilePairs({true, false, "26", "1", "", ""}, why);
        ASSERT_TRUE(rules) << why;
        const trelvo::UpdateResult r =
            trelvo::runUpdate({*input, toFile ? static_cast<trelvo::ByteSink*>(file.get()) : &sink, *rules});
        EXPECT_EQ(r.outcome, Outcome::RunError);
        EXPECT_EQ(r.detail, "cannot read '" + in + "': the file was cut short while it was read");
    }
}

TEST(InputFault, EmptyInput) {
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("out.d");
    writeFile(in, "");
    expectWriteError(runLayer(in, out));
    EXPECT_FALSE(readFile(out));
    EXPECT_EQ(readFile(in), "");
}

// Writes chunks into a named pipe from another thread, as a program that produces a library
// would, then closes it.
class PipeWriter {
public:
    PipeWriter(std::string path, std::vector<std::string> chunks)
        : thread_([path = std::move(path), chunks = std::move(chunks)] {
              const int fd = ::open(path.c_str(), O_WRONLY);
              if (fd < 0)
                  return;
              for (const auto& c : chunks) {
                  if (::write(fd, c.data(), c.size()) != static_cast<ssize_t>(c.size()))
                      break;
              }
              ::close(fd);
          }) {}
    ~PipeWriter() { thread_.join(); }

private:
    std::thread thread_;
};

TEST(InputFault, PipeThatEndsEarly) {
    // The writer stops in the middle of a decal, without a final line end: the run copies what
    // arrived, the last part as a line of its own.
    ::signal(SIGPIPE, SIG_IGN);
    TempDir dir;
    const std::string in = dir.file("pipe.d"), out = dir.file("out.d");
    ASSERT_EQ(::mkfifo(in.c_str(), 0600), 0);
    const std::string sent = kSig + "\r\n\r\nDIP14 I 0 0 0 0 3 2 0 1 0\r\nOPEN 2 10 26 -1\r\n0 ";
    std::vector<std::string> chunks;
    for (char c : sent)
        chunks.emplace_back(1, c);  // one byte per write: every split is seen
    Result r;
    {
        PipeWriter writer(in, chunks);
        r = runLayer(in, out);
    }
    expectReport(r, Outcome::Done, trelvo::messages::done(1, out));
    EXPECT_EQ(readFile(out),
              crlf({kSig, "", "DIP14 I 0 0 0 0 3 2 0 1 0", "OPEN  2  10  1  -1", "0 "}));
}

TEST(InputFault, PipeClosedBeforeAnyLine) {
    ::signal(SIGPIPE, SIG_IGN);
    TempDir dir;
    const std::string in = dir.file("pipe.d"), out = dir.file("out.d");
    ASSERT_EQ(::mkfifo(in.c_str(), 0600), 0);
    Result r;
    {
        PipeWriter writer(in, {});
        r = runLayer(in, out);
    }
    expectWriteError(r);
    EXPECT_FALSE(readFile(out));
}

// ----- output that names the input -------------------------------------------------------------

TEST(SameFile, RefusedByPathSymbolicLinkAndHardLink) {
    TempDir dir;
    const std::string in = dir.file("lib.d");
    writeFile(in, kLib);
    fs::create_directory(dir.file("sub"));
    fs::create_symlink(in, dir.file("link.d"));
    fs::create_symlink(dir.file("link.d"), dir.file("link2.d"));
    fs::create_hard_link(in, dir.file("hard.d"));
    for (const std::string& out : {in, dir.file("sub/../lib.d"), dir.file("link.d"),
                                   dir.file("link2.d"), dir.file("hard.d")}) {
        SCOPED_TRACE(out);
        expectWriteError(runLayer(in, out));
        EXPECT_EQ(readFile(in), kLib);
        const auto cli = runCli(dir, {"--layer", "26:1", "-o", out, in});
        EXPECT_EQ(cli.status, kExitWrite);
        EXPECT_EQ(readFile(in), kLib);
    }
    // And the other way round: the input reached through a link, the output its real name.
    expectWriteError(runLayer(dir.file("link.d"), in));
    EXPECT_EQ(readFile(in), kLib);
}

// ----- hostile content -------------------------------------------------------------------------

TEST(Content, LinesOfSeveralMegabytes) {
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("out.d");
    const std::string ordinary(5'000'000, 'x');
    const std::string piece =
        "OPEN" + std::string(3'000'000, ' ') + "2 10 26 -1" + std::string(2'000'000, ' ');
    // A CR LF that straddles the 1 MiB read blocks, and a lone CR right at a block's end.
    std::string lib = kSig + "\r\n";
    lib += std::string((1u << 20) - lib.size() - 1, 'a') + "\r\n";
    const std::string pad((1u << 20) - 2, 'b');
    lib += pad + "\rcd\n";
    lib += ordinary + "\r\n" + piece + "\r\n" + ordinary;
    writeFile(in, lib);
    const Result r = runLayer(in, out);
    expectReport(r, Outcome::Done, trelvo::messages::done(0, out));
    EXPECT_EQ(readFile(out), crlf({kSig, std::string((1u << 20) - kSig.size() - 3, 'a'), pad, "cd",
                                   ordinary, "OPEN  2  10  1  -1", ordinary}));
    EXPECT_EQ(readFile(in), lib);
}

std::string words(int n, const std::string& word) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += " " + word;
    return s;
}

TEST(Content, MoreThanTenThousandFields) {
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("out.d");
    // After a blank: not a decal header (its unit letter would be bad); piece lines whose field
    // count passes 10000, or reaches exactly 10000, are not eligible and are copied as read.
    const std::string notHeader = "BIG M" + words(12000, "0");
    const std::string over = "OPEN 2 10 26 -1" + words(10001, "9");
    const std::string exact = "OPEN 2 10 26 -1" + words(9995, "9");
    const std::string lib = crlf({kSig, "", notHeader, over, exact, "OPEN 2 10 26 -1"});
    writeFile(in, lib);
    const Result r = runLayer(in, out);
    expectReport(r, Outcome::Done, trelvo::messages::done(0, out));
    EXPECT_EQ(readFile(out), crlf({kSig, "", notHeader, over, exact, "OPEN  2  10  1  -1"}));
    EXPECT_EQ(readFile(in), lib);
}

TEST(Content, NulAndEightBitBytesKept) {
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("out.d");
    std::string all;
    for (int c = 0; c < 256; ++c) {
        if (c != '\r' && c != '\n')
            all += static_cast<char>(c);
    }
    const std::string nul("\0", 1);
    const std::string name = "D" + nul + "\xe9\xff";
    const std::string field2 = "\x80" + nul + "\xfe";
    const std::string lib = kSig + nul + "\xb5\r\n\r\n" + name + " I 0 0 0 0 1 0 0 1 0\r\n" +
                            "OPEN " + field2 + " 10 \xc3\xa9" + nul + " -1\r\n" + all + "\r\n" +
                            nul + "\r\n" + "\xff\xfe";
    writeFile(in, lib);
    // The old layer carries 8-bit bytes and is compared byte for byte.
    const Result r = runLayer(in, out, "\xc3\xa9" + nul, "1");
    expectReport(r, Outcome::Done, trelvo::messages::done(1, out));
    EXPECT_EQ(readFile(out),
              crlf({kSig + nul + "\xb5", "", name + " I 0 0 0 0 1 0 0 1 0",
                    "OPEN  " + field2 + "  10  1  -1", all, nul, "\xff\xfe"}));
    EXPECT_EQ(readFile(in), lib);
}

TEST(Content, NewLayerWithALineBreakIsRefused) {
    // Written as typed, it would split each rewritten piece line in two (and could smuggle whole
    // lines into the library): no layer number, so the run stops before anything is opened.
    TempDir dir;
    const std::string in = dir.file("lib.d"), out = dir.file("out.d");
    writeFile(in, kLib);
    for (const std::string& newLyr :
         {std::string("1\r\nOPEN 9 9 9 -1"), std::string("1\n"), std::string("\r1")}) {
        expectReport(runLayer(in, out, "26", newLyr), Outcome::UserEntryError,
                     trelvo::messages::userEntryError());
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(runCli(dir, {"--layer", "26:" + newLyr, "-o", out, in}).status, 2);
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(readFile(in), kLib);
    }
    // A line break in the old layer only never matches; nothing is written from it.
    EXPECT_EQ(runLayer(in, out, "26\n", "1").outcome, Outcome::Done);
    EXPECT_EQ(readFile(out), kLib);
}

// ----- a library past 4 GiB ---------------------------------------------------------------------

// Streams a library of more than 4 GiB through named pipes: a thread generates the input, another
// compares the output with what it must be as it arrives, so no disk space is needed. Long: it is
// labelled "long" and left out of the default test runs.
TEST(Huge, LibraryPastFourGigabytesStreams) {
    ::signal(SIGPIPE, SIG_IGN);
    TempDir dir;
    const std::string in = dir.file("in.d"), out = dir.file("out.d");
    ASSERT_EQ(::mkfifo(in.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(out.c_str(), 0600), 0);

    std::string blockIn, blockOut;
    for (int i = 0; i < 4; ++i) {
        const std::string header = "\r\nDECAL" + std::to_string(i) + " I 0 0 0 0 2 0 0 1 0\r\n";
        blockIn += header + "OPEN 2 10 26 -1\r\n0 0\r\n100 0\r\nCLOSED 2 10 3 -1\r\n0 0\r\n";
        blockOut += header + "OPEN  2  10  1  -1\r\n0 0\r\n100 0\r\nCLOSED 2 10 3 -1\r\n0 0\r\n";
    }
    const std::string first = kSig + "\r\n";
    const std::uint64_t target = (std::uint64_t{1} << 32) + (std::uint64_t{1} << 28);
    const std::uint64_t blocks = target / blockIn.size() + 1;
    const std::uint64_t decals = blocks * 4;

    std::uint64_t sent = 0;
    std::thread producer([&] {
        const int fd = ::open(in.c_str(), O_WRONLY);
        if (fd < 0)
            return;
        std::string chunk;
        for (int i = 0; i < 4096; ++i)
            chunk += blockIn;
        const std::uint64_t perChunk = 4096;
        if (::write(fd, first.data(), first.size()) > 0)
            sent += first.size();
        for (std::uint64_t b = 0; b < blocks; b += perChunk) {
            const std::size_t n = static_cast<std::size_t>(std::min(perChunk, blocks - b));
            const std::size_t bytes = n * blockIn.size();
            std::size_t done = 0;
            while (done < bytes) {
                const ssize_t w = ::write(fd, chunk.data() + done, bytes - done);
                if (w <= 0)
                    break;
                done += static_cast<std::size_t>(w);
            }
            sent += done;
            if (done < bytes)
                break;
        }
        ::close(fd);
    });

    std::uint64_t received = 0;
    bool same = true;
    // The run opens its output without waiting for a reader, so the reader must be there first: it
    // opens without blocking now. Until the run opens its end, a read finds no writer and returns
    // 0 as at the end; only a 0 after the run has returned is the end.
    std::atomic<bool> runDone{false};
    const int outFd = ::open(out.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(outFd, 0);
    ASSERT_EQ(::fcntl(outFd, F_SETFL, ::fcntl(outFd, F_GETFL) & ~O_NONBLOCK), 0);
    std::thread consumer([&] {
        const int fd = outFd;
        const std::uint64_t total = first.size() + blocks * blockOut.size();
        std::vector<char> buf(1 << 20);
        for (;;) {
            const bool wasDone = runDone.load();
            const ssize_t n = ::read(fd, buf.data(), buf.size());
            if (n == 0 && !wasDone) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (n <= 0)
                break;
            std::size_t i = 0;
            const auto size = static_cast<std::size_t>(n);
            while (i < size && same) {
                // Compare against the first line, then against the repeated block, a run at a time.
                std::string_view want;
                if (received < first.size()) {
                    want = std::string_view(first).substr(received);
                } else if (received < total) {
                    want = std::string_view(blockOut).substr((received - first.size()) %
                                                             blockOut.size());
                } else {
                    same = false;
                    break;
                }
                const std::size_t len = std::min(want.size(), size - i);
                same = std::memcmp(buf.data() + i, want.data(), len) == 0;
                if (same) {
                    i += len;
                    received += len;
                }
            }
            if (!same)
                break;
        }
        ::close(fd);
    });

    const Result r = runLayer(in, out);
    runDone = true;
    // Release a writer still waiting for the input, should the run not have opened it: it then
    // finds no reader and stops.
    const int unblock = ::open(in.c_str(), O_RDONLY | O_NONBLOCK);
    if (unblock >= 0)
        ::close(unblock);
    producer.join();
    consumer.join();

    EXPECT_EQ(sent, first.size() + blocks * blockIn.size());
    EXPECT_GT(sent, std::uint64_t{1} << 32);
    EXPECT_TRUE(same) << "output differs at byte " << received;
    EXPECT_EQ(received, first.size() + blocks * blockOut.size());
    expectReport(r, Outcome::Done, trelvo::messages::done(static_cast<long>(decals), out));
}

}  // namespace
