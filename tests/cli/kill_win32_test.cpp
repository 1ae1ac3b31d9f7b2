// trelvo-cli.exe --in-place ended outright (TerminateProcess, as a power cut would) at every file
// step of a run, through trelvo-cli-killable.exe (the same program with the file step hook of
// kill_hook_win32.cpp): the library is always either the original or the complete update, a
// backup is always the original, whatever temporary file is left is removed by the next run,
// and that run succeeds. Also: which temporary files a run removes, and an interrupted run.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli_run.h"
#include "kill_library.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using trelvo::test::Library;
using trelvo::test::listDir;
using trelvo::test::makeLibrary;
using trelvo::test::quoteArgument;
using trelvo::test::readFile;
using trelvo::test::TempDir;
using trelvo::test::wideOf;
using trelvo::test::writeFile;

constexpr DWORD kKilled = 0xDEAD;  // the exit code the hook's TerminateProcess gives
const std::vector<std::string> kArgs = {"--layer", "26:1", "--in-place", "a.d"};

using Settings = std::vector<std::pair<std::string, std::string>>;

// A started trelvo-cli; its handle is kept until this goes away, so that its process number
// stays its own (an ended process keeps it while someone holds it).
class Process {
public:
    Process(const std::string& exe, const std::vector<std::string>& args, const TempDir& dir,
            const TempDir& logs, const Settings& env = {}, DWORD flags = 0) {
        for (const auto& [name, value] : env)
            SetEnvironmentVariableW(wideOf(name).c_str(), wideOf(value).c_str());
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        err_ = logs.path() / "stderr";
        HANDLE err = CreateFileW(err_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        std::wstring commandLine = quoteArgument(wideOf(exe));
        for (const auto& a : args)
            commandLine += L" " + quoteArgument(wideOf(a));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = si.hStdOutput = si.hStdError = err;
        if (!CreateProcessW(wideOf(exe).c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                            nullptr, dir.path().c_str(), &si, &pi_))
            ADD_FAILURE() << "cannot start " << exe << ": error " << GetLastError();
        CloseHandle(err);
        for (const auto& setting : env)
            SetEnvironmentVariableW(wideOf(setting.first).c_str(), nullptr);
    }
    ~Process() {
        if (pi_.hProcess) {
            // A run held by the hook that a failed test leaves behind would hold its output.
            TerminateProcess(pi_.hProcess, kKilled);
            CloseHandle(pi_.hThread);
            CloseHandle(pi_.hProcess);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD pid() const { return pi_.dwProcessId; }
    HANDLE handle() const { return pi_.hProcess; }
    DWORD wait() const {
        DWORD code = 0;
        if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, INFINITE) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(pi_.hProcess, &code))
            return ~DWORD{0};
        return code;
    }
    std::string err() const { return readFile(err_.string()); }

private:
    PROCESS_INFORMATION pi_{};
    fs::path err_;
};

// Whether name is a temporary file trelvo-cli makes for a.d in process pid: ".a.d.trelvo-PID-"
// with six letters or digits, possibly followed by ".orig".
bool isTempOf(const std::string& name, DWORD pid) {
    const std::string prefix = ".a.d.trelvo-" + std::to_string(pid) + "-";
    if (!name.starts_with(prefix))
        return false;
    std::string tail = name.substr(prefix.size());
    if (tail.size() == 11 && tail.ends_with(".orig"))
        tail.resize(6);
    return tail.size() == 6 && std::all_of(tail.begin(), tail.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
           });
}

struct Point {
    long step;
    std::string what;
};

// The steps of a complete run, counted by the hook.
std::vector<Point> countSteps(const TempDir& work, const TempDir& logs, const Library& lib,
                              const Settings& env,
                              const std::vector<std::string>& args = kArgs) {
    writeFile(work.file("a.d"), lib.original);
    Settings counted = env;
    counted.push_back({"TRELVO_TEST_STEP_LOG", logs.file("steps")});
    const Process full(TRELVO_CLI_KILLABLE, args, work, logs, counted);
    EXPECT_EQ(full.wait(), 0u) << full.err();
    if (args == kArgs) {
        EXPECT_EQ(readFile(work.file("a.d")), lib.updated);
    }
    std::vector<Point> points;
    std::istringstream in(readFile(logs.file("steps")));
    std::string line;
    while (std::getline(in, line))
        points.push_back({std::stol(line), line.substr(line.find(' ') + 1)});
    fs::remove(logs.file("steps"));
    for (const auto& e : fs::directory_iterator(work.path()))
        fs::remove(e.path());
    return points;
}

struct Outcomes {
    int original = 0, originalWithBackup = 0;
};

// Ends a run before each of the points, checks what it left and that the next run (of
// trelvo-cli.exe itself) mends it. Returns how often the library was left as the original
// without and with its backup; every other outcome is a failure.
Outcomes killAtEach(const std::vector<Point>& points, const TempDir& work, const TempDir& logs,
                    const Library& lib, const Settings& env) {
    Outcomes seen;
    for (const Point& p : points) {
        SCOPED_TRACE("ended before step " + std::to_string(p.step) + " (" + p.what + ")");
        writeFile(work.file("a.d"), lib.original);
        Settings killEnv = env;
        killEnv.push_back({"TRELVO_TEST_KILL_AT", std::to_string(p.step)});
        const Process killed(TRELVO_CLI_KILLABLE, kArgs, work, logs, killEnv);
        EXPECT_EQ(killed.wait(), kKilled) << killed.err();

        const std::string after = readFile(work.file("a.d"));
        const bool hasBackup = fs::exists(work.path() / "a.d.orig");
        EXPECT_EQ(after, lib.original) << "a kill before the last step leaves the original";
        ++(hasBackup ? seen.originalWithBackup : seen.original);
        if (hasBackup) {
            EXPECT_EQ(readFile(work.file("a.d.orig")), lib.original);
        }
        for (const auto& name : listDir(work)) {
            EXPECT_TRUE(name == "a.d" || name == "a.d.orig" || isTempOf(name, killed.pid()))
                << name;
        }

        // The killed process is still held, ended: its number is not yet free for another.
        const Process next(TRELVO_CLI, kArgs, work, logs);
        EXPECT_EQ(next.wait(), 0u) << next.err();
        EXPECT_EQ(readFile(work.file("a.d")), lib.updated);
        EXPECT_EQ(readFile(work.file("a.d.orig")), after);
        EXPECT_EQ(listDir(work), (std::vector<std::string>{"a.d", "a.d.orig"}));
        for (const auto& e : fs::directory_iterator(work.path()))
            fs::remove(e.path());
        if (::testing::Test::HasFailure())
            break;
    }
    return seen;
}

TEST(TrelvoCliInPlaceKillWin32, LibraryIsOriginalOrUpdatedAfterAKillAtAnyStep) {
    // Three blocks of the reader and writer: several reads, writes and half writes.
    const Library lib = makeLibrary(std::size_t{600} << 10);
    TempDir work, logs;
    const std::vector<Point> points = countSteps(work, logs, lib, {});
    ASSERT_GE(points.size(), 20u);
    ASSERT_EQ(points.back().what, "rename");  // nothing follows the replacement
    const Outcomes linked = killAtEach(points, work, logs, lib, {});

    // Where the backup cannot be a hard link it is a copy: the steps from the link on again.
    const Settings noLinks = {{"TRELVO_TEST_NO_LINKS", "1"}};
    std::vector<Point> copying = countSteps(work, logs, lib, noLinks);
    const auto link = std::find_if(copying.begin(), copying.end(),
                                   [](const Point& p) { return p.what == "link"; });
    ASSERT_NE(link, copying.end());
    copying.erase(copying.begin(), link);
    ASSERT_TRUE(std::any_of(copying.begin(), copying.end(),
                            [](const Point& p) { return p.what == "copy"; }));
    const Outcomes copied = killAtEach(copying, work, logs, lib, noLinks);

    std::cout << points.size() << " + " << copying.size()
              << " kill points: " << linked.original + copied.original << " left the original, "
              << linked.originalWithBackup + copied.originalWithBackup
              << " the original with its backup\n";
    RecordProperty("kill_points", static_cast<int>(points.size() + copying.size()));
    // Exactly the kill before the final rename leaves the backup in place.
    EXPECT_EQ(linked.originalWithBackup, 1);
    EXPECT_EQ(copied.originalWithBackup, 1);
}

TEST(TrelvoCliInPlaceKillWin32, OnlyAbandonedTemporaryFilesOfTheSameLibraryAreRemoved) {
    const Library lib = makeLibrary(4096);
    TempDir work, logs;
    writeFile(work.file("a.d"), lib.original);
    // An ended process, held so that its number stays unused, and a number no process has
    // (Windows numbers processes in fours).
    const Process ended(TRELVO_CLI, {"--version"}, work, logs);
    ASSERT_EQ(ended.wait(), 0u);
    const std::string dead = std::to_string(ended.pid());
    const std::string never = "999999999";
    const std::string alive = std::to_string(GetCurrentProcessId());
    const std::vector<std::string> removed = {
        ".a.d.trelvo-" + dead + "-ab3xyz",
        ".a.d.trelvo-" + dead + "-ab3xyz.orig",
        ".a.d.trelvo-" + never + "-abcdef",
    };
    const std::vector<std::string> kept = {
        ".a.d.trelvo-" + alive + "-abcdef",     // a run that still goes on
        ".b.d.trelvo-" + dead + "-abcdef",      // another library's
        ".a.d.trelvo-abcdef",                   // no process number
        ".a.d.trelvo-" + dead + "-abc",         // not a name trelvo-cli makes
        ".a.d.trelvo-" + dead + "-abcdef.old",  // nor this
        "a.d.trelvo-" + dead + "-abcdef",       // nor this
    };
    const std::string folderOfThatName = ".a.d.trelvo-" + dead + "-folder";
    for (const auto& name : removed)
        writeFile(work.file(name), "stale");
    for (const auto& name : kept)
        writeFile(work.file(name), "keep");
    fs::create_directory(work.path() / folderOfThatName);

    const Process run(TRELVO_CLI, kArgs, work, logs);
    EXPECT_EQ(run.wait(), 0u) << run.err();
    EXPECT_EQ(readFile(work.file("a.d")), lib.updated);
    std::set<std::string> want(kept.begin(), kept.end());
    want.insert({"a.d", "a.d.orig", folderOfThatName});
    const auto names = listDir(work);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), want);
    for (const auto& name : kept) {
        EXPECT_EQ(readFile(work.file(name)), "keep") << name;
    }
}

// A run held at its first write and interrupted with Ctrl+C: the console control handler
// removes its temporary files, and the library, an output, the report and the page that were
// there are as they were. (Wine 8 delivers Ctrl+C only: Ctrl+Break fails with
// ERROR_INVALID_HANDLE.)
TEST(TrelvoCliInPlaceKillWin32, InterruptedRunLeavesEveryFileAsItWas) {
    const Library lib = makeLibrary(std::size_t{600} << 10);
    TempDir work, logs;
    // The console the event goes through. Wine gives a program started from a Linux shell a
    // console handle that leads nowhere, so a real one is made.
    if (!GetConsoleWindow()) {
        FreeConsole();
        ASSERT_TRUE(AllocConsole()) << GetLastError();
    }
    const std::vector<std::string> page = {"--report", "rep.csv", "--html", "rep.html"};
    std::vector<std::string> inPlace = kArgs, output = {"--layer", "26:1", "-o", "out.d", "a.d"};
    inPlace.insert(inPlace.begin(), page.begin(), page.end());
    output.insert(output.begin(), page.begin(), page.end());
    const std::vector<std::pair<std::string, std::string>> before = {
        {"a.d", lib.original}, {"out.d", "older output"}, {"rep.csv", "older report"},
        {"rep.html", "older page"}};
    for (const auto& args : {kArgs, inPlace, output}) {
        SCOPED_TRACE(args[args.size() - 2]);
        // Counted with the files there, as the held run finds them: each adds steps.
        for (const auto& [name, bytes] : before)
            writeFile(work.file(name), bytes);
        const std::vector<Point> points = countSteps(work, logs, lib, {}, args);
        const auto write = std::find_if(points.begin(), points.end(),
                                        [](const Point& p) { return p.what == "write"; });
        ASSERT_NE(write, points.end());
        std::vector<std::string> names;
        for (const auto& [name, bytes] : before) {
            writeFile(work.file(name), bytes);
            names.push_back(name);
        }
        const std::string eventName = "trelvo-test-held-" + std::to_string(GetCurrentProcessId());
        HANDLE held = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
        ASSERT_NE(held, nullptr);
        const Process run(TRELVO_CLI_KILLABLE, args, work, logs,
                          {{"TRELVO_TEST_HOLD_AT", std::to_string(write->step)},
                           {"TRELVO_TEST_HELD_EVENT", eventName}},
                          CREATE_NEW_PROCESS_GROUP);
        const HANDLE either[] = {held, run.handle()};
        const DWORD first = WaitForMultipleObjects(2, either, FALSE, INFINITE);
        CloseHandle(held);
        ASSERT_EQ(first, WAIT_OBJECT_0) << "the run ended before it was held: " << run.err();
        ASSERT_GT(listDir(work).size(), names.size());  // its temporary files

        ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, run.pid())) << GetLastError();
        // Windows ends the process with STATUS_CONTROL_C_EXIT once the handlers are done, Wine 8
        // with 0; never with the code of the test's own TerminateProcess.
        const DWORD code = run.wait();
        EXPECT_TRUE(code == static_cast<DWORD>(STATUS_CONTROL_C_EXIT) || code == 0) << code;
        EXPECT_EQ(listDir(work), names);
        for (const auto& [name, bytes] : before)
            EXPECT_EQ(readFile(work.file(name)), bytes) << name;
        for (const auto& e : fs::directory_iterator(work.path()))
            fs::remove(e.path());
    }
}

// Two in-place runs on one library: the second, started while the first is held half way,
// fails at once and changes nothing; the first then completes with its change. A program that
// writes the library while a run is held makes that run fail the same way, its write kept.
TEST(TrelvoCliInPlaceAtOnceWin32, OneRunAtATimeAndNoChangeLost) {
    const Library lib = makeLibrary(std::size_t{600} << 10);
    TempDir work, logs, logsB;
    const std::vector<Point> points = countSteps(work, logs, lib, {});
    const auto write = std::find_if(points.begin(), points.end(),
                                    [](const Point& p) { return p.what == "write"; });
    ASSERT_NE(write, points.end());
    for (const bool otherProgram : {false, true}) {
        SCOPED_TRACE(otherProgram ? "another program writes" : "a second run");
        writeFile(work.file("a.d"), lib.original);
        const std::string id = std::to_string(GetCurrentProcessId()) + (otherProgram ? "o" : "r");
        HANDLE held = CreateEventA(nullptr, TRUE, FALSE, ("trelvo-test-held-" + id).c_str());
        HANDLE resume = CreateEventA(nullptr, TRUE, FALSE, ("trelvo-test-resume-" + id).c_str());
        const Process first(TRELVO_CLI_KILLABLE, kArgs, work, logs,
                            {{"TRELVO_TEST_HOLD_AT", std::to_string(write->step)},
                             {"TRELVO_TEST_HELD_EVENT", "trelvo-test-held-" + id},
                             {"TRELVO_TEST_RESUME_EVENT", "trelvo-test-resume-" + id}});
        const HANDLE either[] = {held, first.handle()};
        ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, INFINITE), WAIT_OBJECT_0) << first.err();
        const std::string written = lib.original + "\r\nADDED I 0 0 0 0 0 0 0 0 0\r\n";
        if (otherProgram) {
            writeFile(work.file("a.d"), written);
        } else {
            const Process second(TRELVO_CLI, {"--width", "10:5", "--in-place", "a.d"}, work, logsB);
            EXPECT_EQ(second.wait(), 7u);
            EXPECT_NE(second.err().find("cannot update 'a.d': another run is updating it"),
                      std::string::npos)
                << second.err();
            EXPECT_EQ(readFile(work.file("a.d")), lib.original);
        }
        SetEvent(resume);
        const DWORD code = first.wait();
        CloseHandle(held);
        CloseHandle(resume);
        if (otherProgram) {
            EXPECT_EQ(code, 7u);
            EXPECT_NE(first.err().find("cannot replace 'a.d': another program changed it during "
                                       "the run; 'a.d' is unchanged"),
                      std::string::npos)
                << first.err();
            EXPECT_EQ(readFile(work.file("a.d")), written);
            EXPECT_EQ(listDir(work), std::vector<std::string>{"a.d"});
        } else {
            EXPECT_EQ(code, 0u) << first.err();
            EXPECT_EQ(readFile(work.file("a.d")), lib.updated);
            EXPECT_EQ(readFile(work.file("a.d.orig")), lib.original);
            EXPECT_EQ(listDir(work), (std::vector<std::string>{"a.d", "a.d.orig"}));
        }
        for (const auto& e : fs::directory_iterator(work.path()))
            fs::remove(e.path());
    }
}

}  // namespace
