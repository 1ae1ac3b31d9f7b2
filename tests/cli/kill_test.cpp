// trelvo-cli --in-place killed outright (SIGKILL, as a power cut or kill -9 would) at every file
// step of a run on a library of several MB, through the preloaded fault shim: the library is
// always either the original or the complete update, a backup is always the original, whatever
// temporary file is left is removed by the next run, and that run succeeds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "kill_library.h"
#include "test_files.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using trelvo::test::Library;
using trelvo::test::listDir;
using trelvo::test::makeLibrary;
using trelvo::test::TempDir;
using trelvo::test::writeFile;

// The bytes of a file, empty when there is none; in one read, as each kill point reads 8 MB
// files several times.
std::string readFile(const std::string& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    return bytes;
}

struct Child {
    pid_t pid = -1;
    int status = 0;
};

// Starts trelvo-cli in folder with the extra environment, output to files in logs, and the
// signal ignored (as nohup does) when one is given.
Child startCli(const std::vector<std::string>& args, const std::string& folder,
               const std::vector<std::string>& extraEnv, const TempDir& logs, int ignored = 0) {
    // The extra settings replace those of the same name (a program sees only the first).
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e; ++e) {
        const std::string setting = *e;
        const std::string name = setting.substr(0, setting.find('=') + 1);
        bool replaced = false;
        for (const auto& x : extraEnv)
            replaced = replaced || x.rfind(name, 0) == 0;
        if (!replaced)
            env.push_back(setting);
    }
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStore{TRELVO_CLI};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string out = logs.file("stdout"), err = logs.file("stderr");

    Child c;
    c.pid = ::fork();
    if (c.pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int n = ::open("/dev/null", O_RDONLY);
        if (o < 0 || e < 0 || n < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 || ::dup2(n, 0) < 0 ||
            ::chdir(folder.c_str()) != 0) {
            ::_exit(127);
        }
        if (ignored != 0)
            ::signal(ignored, SIG_IGN);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (c.pid < 0)
        ADD_FAILURE() << "fork failed";
    return c;
}

// Waits for the child to end, or with WUNTRACED also to stop.
Child& waitFor(Child& c, int options = 0) {
    while (c.pid > 0 && ::waitpid(c.pid, &c.status, options) < 0) {
    }
    return c;
}

Child runCli(const std::vector<std::string>& args, const std::string& folder,
             const std::vector<std::string>& extraEnv, const TempDir& logs, int ignored = 0) {
    Child c = startCli(args, folder, extraEnv, logs, ignored);
    return waitFor(c);
}

std::vector<std::string> shimEnv() {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return {std::string("LD_PRELOAD=") + TRELVO_FAULT_SHIM,
            std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"};
}

bool exists(const std::string& path) {
    return fs::exists(fs::symlink_status(path));
}

// Whether name is a temporary file trelvo-cli makes for a.d in process pid: ".a.d.trelvo-PID-"
// with six letters or digits, possibly followed by ".orig".
bool isTempOf(const std::string& name, pid_t pid) {
    const std::string prefix = ".a.d.trelvo-" + std::to_string(pid) + "-";
    if (name.rfind(prefix, 0) != 0)
        return false;
    std::string tail = name.substr(prefix.size());
    if (tail.size() == 11 && tail.ends_with(".orig"))
        tail.resize(6);
    if (tail.size() != 6)
        return false;
    for (char c : tail) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

struct Point {
    long step;
    bool half;  // a write, killed after half of its bytes
    std::string what;
};

// A private folder in memory where the system has one: a hundred runs each write and read back
// 8 MB and flush it, which a disk makes slow without changing what is left after a kill.
class MemoryDir {
public:
    MemoryDir() {
        std::random_device rd;
        const fs::path base = fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0
                                  ? fs::path("/dev/shm")
                                  : fs::temp_directory_path();
        path_ = base / ("trelvo-kill-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        fs::create_directory(path_);
        path_ = fs::canonical(path_);
    }
    ~MemoryDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    MemoryDir(const MemoryDir&) = delete;
    MemoryDir& operator=(const MemoryDir&) = delete;
    std::string folder() const { return path_.string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(path_))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    fs::path path_;
};

TEST(TrelvoCliInPlaceKill, LibraryIsOriginalOrUpdatedAfterAKillAtAnyStep) {
    const Library lib = makeLibrary(std::size_t{8} << 20);
    MemoryDir work;
    TempDir logs;
    const std::string folder = work.folder();
    const std::string input = folder + "/a.d";
    const std::string backup = folder + "/a.d.orig";
    const std::vector<std::string> args = {"--layer", "26:1", "--in-place", "a.d"};

    // A run to the end, counting its steps.
    writeFile(input, lib.original);
    const std::string log = logs.file("steps");
    auto env = shimEnv();
    env.push_back("TRELVO_TEST_KILL_DIR=" + folder);
    auto counted = env;
    counted.push_back("TRELVO_TEST_STEP_LOG=" + log);
    const Child full = runCli(args, folder, counted, logs);
    ASSERT_TRUE(WIFEXITED(full.status) && WEXITSTATUS(full.status) == 0)
        << readFile(logs.file("stderr"));
    ASSERT_EQ(readFile(input), lib.updated);
    ASSERT_EQ(readFile(backup), lib.original);
    // TRELVO_TEST_KILL_EVERY=N (the sanitizer runs, where each run is slow) keeps every Nth
    // read and write, and all the steps of the other kinds: the creation, sync and replacement
    // steps, where the outcomes change.
    const char* every = std::getenv("TRELVO_TEST_KILL_EVERY");
    const long stride = every ? std::max(1L, std::atol(every)) : 1;
    std::vector<Point> points;
    long blockSteps = 0;
    {
        std::istringstream in(readFile(log));
        long step = 0;
        std::string name;
        while (in >> step >> name) {
            const bool block = name == "read" || name == "write";
            if (block && blockSteps++ % stride != 0)
                continue;
            points.push_back({step, false, name});
            if (name == "write")
                points.push_back({step, true, "half write"});
        }
    }
    // Each of the 8 blocks read, written and read back, and the steps of the replacement.
    ASSERT_GE(blockSteps, 50);

    int sameAsOriginal = 0, originalWithBackup = 0, updated = 0;
    for (const Point& p : points) {
        SCOPED_TRACE("killed before step " + std::to_string(p.step) + " (" + p.what + ")");
        for (const auto& e : fs::directory_iterator(folder))
            fs::remove(e.path());
        writeFile(input, lib.original);

        auto killEnv = env;
        killEnv.push_back("TRELVO_TEST_KILL_AT=" + std::to_string(p.step));
        if (p.half)
            killEnv.push_back("TRELVO_TEST_KILL_HALF=1");
        const Child killed = runCli(args, folder, killEnv, logs);
        ASSERT_TRUE(WIFSIGNALED(killed.status) && WTERMSIG(killed.status) == SIGKILL)
            << "status " << killed.status << ": " << readFile(logs.file("stderr"));

        const std::string after = readFile(input);
        const bool hasBackup = exists(backup);
        if (after == lib.original) {
            ++(hasBackup ? originalWithBackup : sameAsOriginal);
        } else if (after == lib.updated) {
            ++updated;
        } else {
            ADD_FAILURE() << "the library is neither the original nor the update ("
                          << after.size() << " bytes)";
        }
        if (hasBackup) {
            EXPECT_EQ(readFile(backup), lib.original);
        }
        for (const auto& name : work.names()) {
            EXPECT_TRUE(name == "a.d" || name == "a.d.orig" || isTempOf(name, killed.pid)) << name;
        }

        // The next run removes what the killed one left and does the whole update.
        const Child next = runCli(args, folder, {}, logs);
        EXPECT_TRUE(WIFEXITED(next.status) && WEXITSTATUS(next.status) == 0)
            << readFile(logs.file("stderr"));
        EXPECT_EQ(readFile(input), lib.updated);
        EXPECT_EQ(readFile(backup), after);
        EXPECT_EQ(work.names(), (std::vector<std::string>{"a.d", "a.d.orig"}));
        if (::testing::Test::HasFailure())
            break;
    }
    std::cout << points.size() << " kill points: " << sameAsOriginal << " left the original, "
              << originalWithBackup << " the original with its backup, " << updated
              << " the update\n";
    RecordProperty("kill_points", static_cast<int>(points.size()));
    // The steps are those of every run, so each kind of outcome must appear: before the backup,
    // between the backup and the replacement, after the replacement.
    EXPECT_GT(sameAsOriginal, 0);
    EXPECT_GT(originalWithBackup, 0);
    EXPECT_GT(updated, 0);
}

// A process number that no longer runs: a child that has ended and been waited for.
pid_t endedProcess() {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

TEST(TrelvoCliInPlaceKill, OnlyAbandonedTemporaryFilesOfTheSameLibraryAreRemoved) {
    const Library lib = makeLibrary(4096);
    TempDir work, logs;
    const std::string folder = fs::canonical(work.path()).string();
    writeFile(folder + "/a.d", lib.original);
    const std::string dead = std::to_string(endedProcess());
    const std::string alive = std::to_string(::getpid());
    const std::vector<std::string> removed = {
        ".a.d.trelvo-" + dead + "-Ab3xYz",
        ".a.d.trelvo-" + dead + "-Ab3xYz.orig",
    };
    const std::vector<std::string> kept = {
        ".a.d.trelvo-" + alive + "-abcdef",     // a run that still goes on
        ".a.d.trelvo-" + dead + "-locked",      // locked: a run on another machine
        ".b.d.trelvo-" + dead + "-abcdef",      // another library's
        ".a.d.trelvo-abcdef",                   // no process number
        ".a.d.trelvo-" + dead + "-abc",         // not a name trelvo-cli makes
        ".a.d.trelvo-" + dead + "-abcdef.old",  // nor this
        "a.d.trelvo-" + dead + "-abcdef",       // nor this
    };
    const std::string folderOfThatName = ".a.d.trelvo-" + dead + "-folder";
    for (const auto& name : removed)
        writeFile(folder + "/" + name, "stale");
    for (const auto& name : kept)
        writeFile(folder + "/" + name, "keep");
    fs::create_directory(folder + "/" + folderOfThatName);
    const int lock = ::open((folder + "/" + kept[1]).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);

    const Child c = runCli({"--layer", "26:1", "--in-place", "a.d"}, folder, {}, logs);
    ::close(lock);
    EXPECT_TRUE(WIFEXITED(c.status) && WEXITSTATUS(c.status) == 0)
        << readFile(logs.file("stderr"));
    EXPECT_EQ(readFile(folder + "/a.d"), lib.updated);
    std::set<std::string> want(kept.begin(), kept.end());
    want.insert({"a.d", "a.d.orig", folderOfThatName});
    const auto names = listDir(work);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), want);
    for (const auto& name : kept)
        EXPECT_EQ(readFile(folder + "/" + name), "keep") << name;
}

// SIGINT, SIGTERM and SIGHUP during a run: the process ends by that signal and leaves no
// temporary file, and every file is either as it was or as the whole run leaves it. Half way
// through the pass every file is as it was; just after a temporary file is made or a file is
// renamed into place (where the run holds the signal back until the step is known) each file
// is one or the other, never a part.
TEST(TrelvoCliInterrupted, EverySignalLeavesEveryFileAsItWasOrDone) {
    const Library lib = makeLibrary(std::size_t{2} << 20);
    MemoryDir work;
    TempDir logs;
    const std::string folder = work.folder();
    const std::map<std::string, std::string> before = {{"a.d", lib.original},
                                                       {"b.d", lib.updated},
                                                       {"out.d", "older output"},
                                                       {"rep.csv", "older report"},
                                                       {"rep.html", "older page"}};
    const std::vector<std::vector<std::string>> runs = {
        {"--layer", "26:1", "-o", "out.d", "--report", "rep.csv", "--html", "rep.html", "a.d"},
        {"--layer", "26:1", "--in-place", "--report", "rep.csv", "--html", "rep.html", "a.d", "b.d"},
        {"--layer", "26:1", "--dry-run", "--report", "rep.csv", "a.d"},
    };
    const auto restore = [&] {
        for (const auto& e : fs::directory_iterator(folder))
            fs::remove(e.path());
        for (const auto& [name, bytes] : before)
            writeFile(folder + "/" + name, bytes);
    };
    const auto files = [&] {
        std::map<std::string, std::string> now;
        for (const auto& name : work.names())
            now[name] = readFile(folder + "/" + name);
        return now;
    };
    auto env = shimEnv();
    env.push_back("TRELVO_TEST_KILL_DIR=" + folder);
    for (const auto& args : runs) {
        SCOPED_TRACE(args[2]);
        restore();
        auto counted = env;
        counted.push_back("TRELVO_TEST_STEP_LOG=" + logs.file("steps"));
        fs::remove(logs.file("steps"));
        ASSERT_EQ(runCli(args, folder, counted, logs).status, 0);
        const auto done = files();
        std::vector<std::pair<long, std::vector<int>>> points;  // a step and its signals
        std::vector<long> blocks;
        std::istringstream in(readFile(logs.file("steps")));
        long step = 0;
        for (std::string name; in >> step >> name;) {
            if (name == "read" || name == "write")
                blocks.push_back(step);
            if (name == "mkstemp" || name == "rename")
                points.push_back({step, {SIGINT}});
        }
        ASSERT_GE(blocks.size(), 8u);
        points.push_back({blocks[blocks.size() / 2], {SIGINT, SIGTERM, SIGHUP}});
        for (const auto& [at, signals] : points) {
            for (const int sig : signals) {
                SCOPED_TRACE("step " + std::to_string(at) + ", " + strsignal(sig));
                restore();
                auto signalled = env;
                signalled.push_back("TRELVO_TEST_KILL_AT=" + std::to_string(at));
                signalled.push_back("TRELVO_TEST_SIGNAL=" + std::to_string(sig));
                const Child c = runCli(args, folder, signalled, logs);
                EXPECT_TRUE(WIFSIGNALED(c.status) && WTERMSIG(c.status) == sig) << c.status;
                for (const auto& [name, bytes] : files()) {
                    const bool was = before.contains(name) && before.at(name) == bytes;
                    EXPECT_TRUE(was || (done.contains(name) && done.at(name) == bytes)) << name;
                    if (at == points.back().first) {
                        EXPECT_TRUE(was) << name;
                    }
                }
                if (files().contains("a.d.orig")) {
                    EXPECT_EQ(readFile(folder + "/a.d.orig"), lib.original);
                }
                for (const auto& [name, bytes] : before)
                    EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
            }
        }
        // A run started with the signal ignored (nohup) goes on to the end.
        restore();
        auto ignored = env;
        ignored.push_back("TRELVO_TEST_KILL_AT=" + std::to_string(blocks[blocks.size() / 2]));
        ignored.push_back("TRELVO_TEST_SIGNAL=" + std::to_string(SIGHUP));
        const Child c = runCli(args, folder, ignored, logs, SIGHUP);
        EXPECT_TRUE(WIFEXITED(c.status) && WEXITSTATUS(c.status) == 0) << c.status;
        EXPECT_EQ(files(), done);
    }
}

// Two in-place runs on one library: the second, started while the first holds it, fails at once
// and changes nothing; the first completes with its change. A program that writes the library
// while a run goes on makes that run fail the same way, its write kept.
TEST(TrelvoCliInPlaceAtOnce, OneRunAtATimeAndNoChangeLost) {
    const Library lib = makeLibrary(std::size_t{1} << 20);
    MemoryDir work;
    TempDir logsA, logsB;
    const std::string folder = work.folder();
    for (const bool otherProgram : {false, true}) {
        SCOPED_TRACE(otherProgram ? "another program writes" : "a second run");
        for (const auto& e : fs::directory_iterator(folder))
            fs::remove(e.path());
        writeFile(folder + "/a.d", lib.original);
        // The first run stops itself at its third read, half way through the pass.
        auto env = shimEnv();
        env.insert(env.end(), {"TRELVO_TEST_KILL_DIR=" + folder, "TRELVO_TEST_KILL_AT=3",
                               "TRELVO_TEST_SIGNAL=" + std::to_string(SIGSTOP)});
        Child first = startCli({"--layer", "26:1", "--in-place", "a.d"}, folder, env, logsA);
        ASSERT_TRUE(WIFSTOPPED(waitFor(first, WUNTRACED).status)) << first.status;
        const std::string written = lib.original + "\r\nADDED I 0 0 0 0 0 0 0 0 0\r\n";
        if (otherProgram) {
            writeFile(folder + "/a.d", written);
        } else {
            for (const auto& args : std::vector<std::vector<std::string>>{
                     {"--width", "10:5", "--in-place", "a.d"}, {"--width", "10:5", "-o", "a.d", "b.d"}}) {
                writeFile(folder + "/b.d", lib.original);
                const Child second = runCli(args, folder, {}, logsB);
                EXPECT_TRUE(WIFEXITED(second.status) && WEXITSTATUS(second.status) == 7);
                EXPECT_TRUE(readFile(logsB.file("stderr")).find("cannot update 'a.d': another run is updating it") != std::string::npos)
                    << readFile(logsB.file("stderr"));
                fs::remove(folder + "/b.d");
                EXPECT_EQ(readFile(folder + "/a.d"), lib.original);
                for (const auto& name : work.names())
                    EXPECT_TRUE(name == "a.d" || isTempOf(name, first.pid)) << name;
            }
        }
        ::kill(first.pid, SIGCONT);
        waitFor(first);
        ASSERT_TRUE(WIFEXITED(first.status)) << first.status;
        if (otherProgram) {
            EXPECT_EQ(WEXITSTATUS(first.status), 7);
            EXPECT_EQ(readFile(logsA.file("stderr")),
                      "trelvo-cli: a.d: File write error: Error: File I/O or User Entry "
                      "-Processing incomplete!\ntrelvo-cli: cannot replace 'a.d': another program "
                      "changed it during the run; 'a.d' is unchanged\n");
            EXPECT_EQ(readFile(folder + "/a.d"), written);
            EXPECT_EQ(work.names(), std::vector<std::string>{"a.d"});
        } else {
            EXPECT_EQ(WEXITSTATUS(first.status), 0) << readFile(logsA.file("stderr"));
            EXPECT_EQ(readFile(folder + "/a.d"), lib.updated);
            EXPECT_EQ(readFile(folder + "/a.d.orig"), lib.original);
            EXPECT_EQ(work.names(), (std::vector<std::string>{"a.d", "a.d.orig"}));
        }
    }
}

}  // namespace
