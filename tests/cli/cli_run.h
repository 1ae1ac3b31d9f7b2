// Runs the built trelvo-cli in a test's temporary folder and collects what it did.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace trelvo::test {

struct CliResult {
    int status = -1;
    std::string out, err;
};

#if defined(_WIN32)

// One argument as the C runtime's command-line parser splits it again: quoted when it holds
// blanks or quotes (or is empty), backslashes doubled only where they precede a quote.
inline std::wstring quoteArgument(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return a;
    std::wstring q = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, L'\\');
    return q + L"\"";
}

inline std::wstring wideOf(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

// Starts trelvo-cli.exe directly (the test itself already runs under Wine or on Windows), with
// UTF-16 arguments, standard output and error to files and standard input on NUL.
inline CliResult runCli(const std::vector<std::string>& args, const TempDir& dir,
                        const std::vector<std::string>& env = {}) {
    if (!env.empty())
        ADD_FAILURE() << "environment settings are not passed on on Windows";
    const std::filesystem::path outFile =
        dir.path().parent_path() / (dir.path().filename().wstring() + L".out");
    const std::filesystem::path errFile =
        dir.path().parent_path() / (dir.path().filename().wstring() + L".err");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto create = [&](const std::filesystem::path& p) {
        return CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE out = create(outFile);
    HANDLE err = create(errFile);
    HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
    const std::wstring exe = wideOf(TRELVO_CLI);
    std::wstring commandLine = quoteArgument(exe);
    for (const auto& a : args)
        commandLine += L" " + quoteArgument(wideOf(a));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    CliResult r;
    if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       dir.path().c_str(), &si, &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(pi.hProcess, &code))
            r.status = static_cast<int>(code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << TRELVO_CLI << ": error " << GetLastError();
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    r.out = readFile(outFile.string());
    r.err = readFile(errFile.string());
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return r;
}

#else

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// env: assignments such as "TRELVO_TEST_FAULT=rename", put before the command.
inline CliResult runCli(const std::vector<std::string>& args, const TempDir& dir,
                        const std::vector<std::string>& env = {}) {
    const std::string outFile =
        (dir.path().parent_path() / (dir.path().filename().string() + ".out")).string();
    const std::string errFile =
        (dir.path().parent_path() / (dir.path().filename().string() + ".err")).string();
    std::string cmd = "cd " + shellQuote(dir.path().string()) + " &&";
    for (const auto& e : env) {
        const auto eq = e.find('=');
        cmd += " " + e.substr(0, eq + 1) + shellQuote(e.substr(eq + 1));
    }
    cmd += " " + shellQuote(TRELVO_CLI);
    for (const auto& a : args)
        cmd += " " + shellQuote(a);
    cmd += " >" + shellQuote(outFile) + " 2>" + shellQuote(errFile) + " </dev/null";
    CliResult r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(outFile);
    r.err = readFile(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return r;
}

#endif

// The names in a folder, sorted.
inline std::vector<std::string> listDir(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace trelvo::test
