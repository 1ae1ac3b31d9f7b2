// Linked into trelvo-cli-killable.exe, trelvo-cli built with the file step hook set: the Windows
// stand-in for the Linux fault shim. Each step of the Win32 file edge is counted.
// TRELVO_TEST_STEP_LOG names a file that gets one line per step ("NUMBER NAME");
// TRELVO_TEST_KILL_AT=N ends the process with TerminateProcess just before step N, as a power
// cut would; TRELVO_TEST_HOLD_AT=N stops it there instead, after signalling the event named by
// TRELVO_TEST_HELD_EVENT, until something else ends it (Ctrl+C is taken, see install) or the
// event named by TRELVO_TEST_RESUME_EVENT lets it go on;
// TRELVO_TEST_NO_LINKS=1 makes hard links
// fail as on a file system without them.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/native_file.h"

namespace {

// Steps come from the read-ahead and write-behind threads as well: each gets a number of its own.
std::atomic<long> steps{0};

long numberFrom(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::atol(v) : 0;
}

bool onStep(const char* step) {
    const long number = ++steps;
    if (const char* log = std::getenv("TRELVO_TEST_STEP_LOG")) {
        HANDLE h = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            char line[128];
            const int n = std::snprintf(line, sizeof line, "%ld %s\n", number, step);
            DWORD done = 0;
            WriteFile(h, line, static_cast<DWORD>(n), &done, nullptr);
            CloseHandle(h);
        }
    }
    if (number == numberFrom("TRELVO_TEST_KILL_AT"))
        TerminateProcess(GetCurrentProcess(), 0xDEAD);
    if (number == numberFrom("TRELVO_TEST_HOLD_AT")) {
        if (const char* name = std::getenv("TRELVO_TEST_HELD_EVENT")) {
            if (HANDLE e = OpenEventA(EVENT_MODIFY_STATE, FALSE, name))
                SetEvent(e);
        }
        // With TRELVO_TEST_RESUME_EVENT, until that event is set; then the run goes on.
        const char* resume = std::getenv("TRELVO_TEST_RESUME_EVENT");
        HANDLE go = resume ? OpenEventA(SYNCHRONIZE, FALSE, resume) : nullptr;
        if (go) {
            WaitForSingleObject(go, INFINITE);
            CloseHandle(go);
            return true;
        }
        for (;;)
            Sleep(INFINITE);
    }
    const char* noLinks = std::getenv("TRELVO_TEST_NO_LINKS");
    return !(noLinks && std::strcmp(step, "link") == 0);
}

bool install() {
    trelvo::native::testFileStep = onStep;
    // A held run is interrupted with Ctrl+C sent to its own process group, which starts with
    // Ctrl+C ignored: taken again, as a run in the console's foreground would.
    if (numberFrom("TRELVO_TEST_HOLD_AT") > 0)
        SetConsoleCtrlHandler(nullptr, FALSE);
    return true;
}

const bool installed = install();

}  // namespace
