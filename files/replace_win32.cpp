// The Windows half of the replacement: CreateFileW CREATE_NEW, FlushFileBuffers, the backup as a
// hard link (or a copy), MoveFileExW, a console control handler for the cleanup, and the removal
// of what killed runs left behind.
#include "files/replace.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <random>
#include <string_view>

#include "files/long_path.h"
#include "files/native_file.h"
#include "files/replace_system.h"
#include "files/utf16.h"

namespace trelvo {

namespace {

// The control handler runs on a thread of its own while the pass goes on: it sees the temporary
// files only through these slots, filled before a slot is marked as armed.
constexpr int kSlots = 8;
constexpr std::size_t kLongestName = 32768;  // the longest path Win32 takes, with its NUL
wchar_t cleanupPaths[kSlots][kLongestName];
std::atomic<bool> cleanupArmed[kSlots];

// Held while a file is made or put in place, and taken for good by the control handler: an
// interruption finds each step either not begun or complete.
CRITICAL_SECTION fileStepLock;
struct FileStepLockInit {
    FileStepLockInit() { InitializeCriticalSection(&fileStepLock); }
} fileStepLockInit;

BOOL WINAPI onConsoleEvent(DWORD) {
    EnterCriticalSection(&fileStepLock);  // never left: the process ends
    for (int i = 0; i < kSlots; ++i) {
        if (cleanupArmed[i])
            DeleteFileW(cleanupPaths[i]);
    }
    return FALSE;  // the default handler then ends the process
}

// Attributes a file may be given; the others (folder, compression, links) are not ours to set.
constexpr DWORD kCarriedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::size_t nameStart(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        return slash + 1;
    // "C:parts.d" is parts.d in drive C's current folder.
    return path.size() >= 2 && path[1] == L':' ? 2 : 0;
}

std::string folderOf(const std::string& path) {
    const std::wstring w = widen(path);
    std::size_t start = nameStart(w);
    if (start == 0)
        return ".";
    if (start > 1 && (w[start - 1] == L'\\' || w[start - 1] == L'/') && w[start - 2] != L':')
        --start;  // "C:\Lib\parts.d" -> "C:\Lib", but "C:\parts.d" -> "C:\"
    return narrow(std::wstring_view(w).substr(0, start));
}

// Write-through: what was written is on the disk, not only in the system's cache.
bool flushToDisk(const std::wstring& path) {
    native::fileStep("flush");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = FlushFileBuffers(h) != 0;
    const DWORD error = GetLastError();
    CloseHandle(h);
    SetLastError(error);
    return ok;
}

// Whether the process numbered pid has ended. One whose number nobody holds is gone
// (ERROR_INVALID_PARAMETER); one that has exited keeps its number while whoever started it holds
// it open. Any other failure (a process of another user) counts as running.
bool processEnded(DWORD pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (!h)
        return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    bool ended = GetExitCodeProcess(h, &code) && code != STILL_ACTIVE;
    // STILL_ACTIVE is also an exit code a process may end with.
    if (!ended && code == STILL_ACTIVE)
        ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

// Removes the temporary files for one target that runs killed outright (TerminateProcess, a power
// cut) left beside it: named by prefix (folder included) and a tail tempOwner reads, of a process
// that has ended. No lock tells a run of another machine on a shared folder: removing its file
// makes that run fail, never its library. A staged backup among them is only a second name for
// the original or a copy of it.
void removeStaleTemps(const std::wstring& prefix) {
    const std::size_t folderEnd = nameStart(prefix);
    const std::wstring folder = prefix.substr(0, folderEnd);
    const std::string namePrefix = narrow(std::wstring_view(prefix).substr(folderEnd));
    WIN32_FIND_DATAW found{};
    native::fileStep("list");
    HANDLE find = FindFirstFileW(systemPath(narrow(prefix + L"*")).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    const DWORD self = GetCurrentProcessId();
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::string name = narrow(found.cFileName);
        if (!name.starts_with(namePrefix))
            continue;  // a short 8.3 name matched the pattern, not the name itself
        const std::uint64_t owner =
            detail::tempOwner(std::string_view(name).substr(namePrefix.size()), 10);
        if (owner == 0 || owner > MAXDWORD || owner == self || !processEnded(DWORD(owner)))
            continue;
        native::fileStep("remove");
        DeleteFileW(systemPath(narrow(folder) + name).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

}  // namespace

namespace detail {

bool armCleanup(const std::string& path) {
    const std::wstring w = systemPath(path);
    if (w.size() >= kLongestName)
        return false;
    for (int i = 0; i < kSlots; ++i) {
        if (!cleanupArmed[i]) {
            std::memcpy(cleanupPaths[i], w.c_str(), (w.size() + 1) * sizeof(wchar_t));
            cleanupArmed[i] = true;
            return true;
        }
    }
    return false;
}

void disarmCleanup(const std::string& path) {
    const std::wstring w = systemPath(path);
    for (int i = 0; i < kSlots; ++i) {
        if (cleanupArmed[i] && w == cleanupPaths[i])
            cleanupArmed[i] = false;
    }
}

void removeFile(const std::string& path) {
    native::fileStep("remove");
    DeleteFileW(systemPath(path).c_str());
}

void releaseLock(std::intptr_t lock) {
    if (lock != -1)
        CloseHandle(reinterpret_cast<HANDLE>(lock));
}

}  // namespace detail

std::string lastErrorText() {
    const DWORD error = GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason = n > 0 && text ? std::wstring(text, n) : std::wstring();
    if (text)
        LocalFree(text);
    reason.erase(reason.find_last_not_of(L"\r\n ") + 1);  // npos + 1: all of it
    if (reason.empty())
        reason = L"system error " + std::to_wstring(error);
    return narrow(reason);
}

std::string linkTarget(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p(widen(path));
    if (!std::filesystem::is_symlink(p, ec))
        return path;
    const auto target = std::filesystem::canonical(p, ec);
    return ec ? path : narrow(target.native());
}

KeptAttributes newFileAttributes() {
    return KeptAttributes{0};
}

std::optional<TempFile> TempFile::createBeside(const std::string& target, std::string& errorText) {
    // Hidden, and dotted, so that neither Explorer nor a pattern over the folder shows it; cut
    // short to stay within the longest name. The process number in it tells what a killed run
    // left, removed here first.
    const std::wstring t = widen(target);
    const std::size_t start = nameStart(t);
    std::size_t keep = std::min<std::size_t>(t.size() - start, 200);
    if (keep > 0 && keep < t.size() - start && t[start + keep - 1] >= 0xD800 &&
        t[start + keep - 1] < 0xDC00)
        --keep;  // never half a surrogate pair
    const std::wstring prefix = t.substr(0, start) + L"." + t.substr(start, keep) + L".trelvo-";
    removeStaleTemps(prefix);
    const std::wstring ours = prefix + std::to_wstring(GetCurrentProcessId()) + L"-";

    static constexpr wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = ours;
        for (int i = 0; i < 6; ++i)
            name += kLetters[random() % (sizeof kLetters / sizeof kLetters[0] - 1)];
        native::fileStep("create");
        const HeldInterruptions held;
        HANDLE h = CreateFileW(systemPath(narrow(name)).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return TempFile(narrow(name));
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    errorText = failureText("cannot create a temporary file in", folderOf(target));
    return std::nullopt;
}

HeldInterruptions::HeldInterruptions() : saved_{} {
    EnterCriticalSection(&fileStepLock);
}

HeldInterruptions::~HeldInterruptions() {
    LeaveCriticalSection(&fileStepLock);
}

void installTempCleanup() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

std::optional<KeptAttributes> plainFileAttributes(const std::string& path) {
    // Attributes only: asks for no access a sharing lock could refuse, and follows links.
    HANDLE h = CreateFileW(systemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                       !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(h);
    if (!plain)
        return std::nullopt;
    return KeptAttributes{info.dwFileAttributes};
}

std::optional<std::string> replaceFile(const std::string& target, const KeptAttributes& original,
                                       TempFile& temp, const Replacement& how) {
    // Windows refuses to replace or delete a read-only file: its owner asked for it to stay. Said
    // before anything (the backup included) is touched.
    if (original.attributes & FILE_ATTRIBUTE_READONLY)
        return "cannot replace '" + target + "': the file is read-only";

    const std::wstring tempName = systemPath(temp.path());
    const std::wstring targetName = systemPath(target);
    if (how.flush && !flushToDisk(tempName))
        return failureText("cannot flush to disk", temp.path());
    const DWORD kept = original.attributes & kCarriedAttributes;
    native::fileStep("set attributes");
    if (!SetFileAttributesW(tempName.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL))
        return failureText("cannot set the attributes of", temp.path());

    const HeldInterruptions held;
    if (how.unchanged && native::stateOf(target) != how.unchanged)
        return changedText(target);
    if (const auto& backupPath = how.backup) {
        // A hard link keeps the original file itself (data, dates, attributes) under the backup
        // name; where links are not supported (FAT, some network shares), a copy does. Staged
        // under a temporary name first so that an older backup is replaced in one step.
        const std::string staged = temp.path() + ".orig";
        const std::wstring stagedName = systemPath(staged);
        const bool linked = native::fileStep("link") &&
                            CreateHardLinkW(stagedName.c_str(), targetName.c_str(), nullptr);
        if (!linked) {
            native::fileStep("copy");
            if (!CopyFileW(targetName.c_str(), stagedName.c_str(), TRUE))
                return failureText("cannot keep a backup of", target);
        }
        TempFile stagedGuard(staged);
        if (!linked && !flushToDisk(stagedName))
            return failureText("cannot keep a backup of", target);
        native::fileStep("rename the backup");
        const DWORD replace = how.backupReplaces ? MOVEFILE_REPLACE_EXISTING : 0;
        if (!MoveFileExW(stagedName.c_str(), systemPath(*backupPath).c_str(),
                         replace | MOVEFILE_WRITE_THROUGH)) {
            return failureText("cannot keep the backup", *backupPath);
        }
        // Windows replaces a name by another name of the same file; Wine, as Linux, leaves both.
        // So when the backup already is a hard link of the target (left by a run killed just
        // before its replacement), the staged name goes with its guard, the backup being right.
        if (GetFileAttributesW(stagedName.c_str()) == INVALID_FILE_ATTRIBUTES)
            stagedGuard.forget();
    }

    // A rename over the target, as on Linux: the hard-linked backup keeps the old file, and
    // readers that have the old file open go on reading it.
    native::fileStep("rename");
    if (!MoveFileExW(tempName.c_str(), targetName.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return failureText("cannot replace", target);
    }
    temp.forget();
    return std::nullopt;
}

}  // namespace trelvo
