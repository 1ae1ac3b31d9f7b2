// The progress line of a batch: drawn on standard error only when that is a terminal, and
// cleared before anything else is printed and at the end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "test_files.h"

namespace {

using trelvo::test::crlf;
using trelvo::test::readFile;
using trelvo::test::TempDir;
using trelvo::test::writeFile;

const std::string kLib =
    crlf({"*PADS-LIBRARY-PCB-DECALS-V9*", "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN 2 10 26 -1"});

// Runs trelvo-cli in dir with standard error on a new terminal and standard output to a file.
// Returns the exit status; err receives what the terminal showed.
int runOnTerminal(const TempDir& dir, const std::vector<std::string>& args, std::string& err) {
    int master = -1;
    winsize ws{};
    ws.ws_col = 60;
    ws.ws_row = 24;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, &ws);
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::chdir(dir.path().c_str()) != 0)
            ::_exit(120);
        const int out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0)
            ::_exit(121);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(TRELVO_CLI));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TRELVO_CLI, argv.data());
        ::_exit(122);
    }
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) {
            err.append(buf, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EIO once the child has closed its side
        }
    }
    ::close(master);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(TrelvoCliProgress, ShownOnATerminalAndClearedAtTheEnd) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("b.d"), kLib);
    std::string err;
    const int status = runOnTerminal(dir, {"--layer", "26:1", "a.d", "missing.d", "b.d"}, err);
    EXPECT_EQ(status, 4);
    const std::string clear = "\r\033[K";
    // Each line is cleared before a message is printed (the completion texts on standard output
    // included) and before the next line is drawn; the terminal turns "\n" into "\r\n".
    EXPECT_EQ(err, clear + "trelvo-cli: [1/3] a.d" + clear + clear + "trelvo-cli: [2/3] missing.d" +
                       clear +
                       "trelvo-cli: missing.d: File read error: Filename error -please check dir "
                       "and filename and retry. (No such file or directory)\r\n" +
                       clear + "trelvo-cli: [3/3] b.d" + clear);
    const std::string out = readFile(dir.file("stdout.txt"));
    EXPECT_EQ(out.find('\033'), std::string::npos);
    EXPECT_TRUE(
        out.ends_with("a.d: Done, 1 decal(s) updated -> a_new.d\n"
                      "missing.d: File read error\n"
                      "b.d: Done, 1 decal(s) updated -> b_new.d\n"));
}

TEST(TrelvoCliProgress, LongNamesAreCutToTheTerminalWidth) {
    TempDir dir;
    const std::string longName = std::string(100, 'x') + ".d";
    writeFile(dir.file(longName), kLib);
    writeFile(dir.file("b.d"), kLib);
    std::string err;
    EXPECT_EQ(runOnTerminal(dir, {"--layer", "26:1", longName, "b.d"}, err), 0);
    const std::string first = "trelvo-cli: [1/2] " + std::string(59 - 18, 'x');
    EXPECT_TRUE(err.starts_with("\r\033[K" + first + "\r\033[K")) << err;
}

TEST(TrelvoCliProgress, NoProgressForASingleInput) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    std::string err;
    EXPECT_EQ(runOnTerminal(dir, {"--layer", "26:1", "a.d"}, err), 0);
    EXPECT_EQ(err, "");
}

}  // namespace
