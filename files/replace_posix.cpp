// The POSIX half of the replacement: mkstemp, fsync, fchmod/fchown, link and rename, signal
// handlers for the cleanup, and the removal of what killed runs left behind.
#include "files/replace.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "files/replace_system.h"

namespace trelvo {

namespace {

// A signal handler can only reach plain static storage; these slots are its whole view of the
// temporary files that exist right now.
constexpr int kSlots = 8;
char cleanupPaths[kSlots][PATH_MAX + 1];
volatile std::sig_atomic_t cleanupArmed[kSlots];

extern "C" void onTerminatingSignal(int sig) {
    for (int i = 0; i < kSlots; ++i) {
        if (cleanupArmed[i])
            ::unlink(cleanupPaths[i]);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

std::string folderOf(const std::string& path) {
    const auto parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Creates path exclusively as a byte copy of source, flushed to disk.
bool copyFile(const std::string& source, const std::string& path, mode_t mode) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    char buf[1 << 16];
    // Up to the end of source (a read of 0), or the first failure.
    for (std::int64_t n; ok && (n = native::read(in, buf, sizeof buf)) != 0;)
        ok = n > 0 && native::writeAll(out, buf, static_cast<std::size_t>(n));
    ok = ok && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

// Removes the temporary files for one target that runs killed outright left in folder: named by
// prefix and a tail tempOwner reads, of a process that no longer runs here, and locked by nobody
// (a run on another machine sharing the folder holds its lock). A staged backup among them is
// only a second name for the original or a copy of it.
void removeStaleTemps(const std::string& folder, std::string_view prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const pid_t self = ::getpid();
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (!name.starts_with(prefix))
            continue;
        const auto owner = static_cast<pid_t>(detail::tempOwner(name.substr(prefix.size()), 9));
        if (owner <= 0 || owner == self)
            continue;
        if (::kill(owner, 0) == 0 || errno != ESRCH)
            continue;  // that process still runs (or it cannot be told): its file is in use
        const int fd = ::openat(::dirfd(dir), e->d_name,
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(::dirfd(dir), e->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

}  // namespace

namespace detail {

bool armCleanup(const std::string& path) {
    if (path.size() > PATH_MAX)
        return false;
    for (int i = 0; i < kSlots; ++i) {
        if (!cleanupArmed[i]) {
            std::memcpy(cleanupPaths[i], path.c_str(), path.size() + 1);
            cleanupArmed[i] = 1;
            return true;
        }
    }
    return false;
}

void disarmCleanup(const std::string& path) {
    for (int i = 0; i < kSlots; ++i) {
        if (cleanupArmed[i] && path == cleanupPaths[i])
            cleanupArmed[i] = 0;
    }
}

void removeFile(const std::string& path) {
    ::unlink(path.c_str());
}

void releaseLock(std::intptr_t lock) {
    if (lock != -1)
        ::close(static_cast<int>(lock));
}

}  // namespace detail

std::string lastErrorText() {
    return std::strerror(errno);
}

std::string linkTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

KeptAttributes newFileAttributes() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return KeptAttributes{static_cast<std::uint32_t>(0666 & ~mask),
                          static_cast<std::uint32_t>(::geteuid()),
                          static_cast<std::uint32_t>(::getegid())};
}

// Holding the terminating signals back: an interruption finds each step either not begun or
// complete.
HeldInterruptions::HeldInterruptions() {
    static_assert(sizeof saved_ >= sizeof(sigset_t));
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(saved_));
}

HeldInterruptions::~HeldInterruptions() {
    pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(saved_), nullptr);
}

std::optional<TempFile> TempFile::createBeside(const std::string& target, std::string& errorText) {
    // Hidden from a shell pattern over the folder; cut short to stay within the longest name.
    const std::filesystem::path t(target);
    const std::string prefix = "." + t.filename().string().substr(0, 200) + ".trelvo-";
    removeStaleTemps(folderOf(target), prefix);
    std::string pattern =
        (t.parent_path() / (prefix + std::to_string(::getpid()) + "-XXXXXX")).string();
    const HeldInterruptions held;
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        errorText = failureText("cannot create a temporary file in", folderOf(target));
        return std::nullopt;
    }
    // Kept open with the lock until the file is gone or has become the target. A folder that
    // takes no locks leaves the process number alone to tell a live run from a killed one.
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::flock(fd, LOCK_EX | LOCK_NB);
    return TempFile(std::move(pattern), fd);
}

void installTempCleanup() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction now {};
        if (::sigaction(sig, nullptr, &now) == 0 && now.sa_handler != SIG_IGN)
            std::signal(sig, onTerminatingSignal);
    }
}

std::optional<KeptAttributes> plainFileAttributes(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return KeptAttributes{static_cast<std::uint32_t>(st.st_mode & 07777),
                          static_cast<std::uint32_t>(st.st_uid),
                          static_cast<std::uint32_t>(st.st_gid)};
}

std::optional<std::string> replaceFile(const std::string& target, const KeptAttributes& original,
                                       TempFile& temp, const Replacement& how) {
    // A library made read-only (for anyone, or for this process) stays as it is, even for the
    // superuser and though its folder allows the rename, as on Windows. Said before anything.
    if (::access(target.c_str(), F_OK) == 0 &&
        ((original.mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0))
        return "cannot replace '" + target + "': the file is read-only";
    const int fd = ::open(temp.path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failureText("cannot open", temp.path());
    std::optional<std::string> error;
    if (::fchmod(fd, static_cast<mode_t>(original.mode)) != 0)
        error = failureText("cannot set the permissions of", temp.path());
    // Only the superuser may give a file away; anyone else keeps the file as their own.
    if (!error && (original.uid != ::geteuid() || original.gid != ::getegid())) {
        if (::fchown(fd, original.uid, original.gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), original.gid) != 0) {
            // Not ours to give away: the file stays the user's own, with the original's mode.
        }
    }
    if (!error && how.flush && ::fsync(fd) != 0)
        error = failureText("cannot flush to disk", temp.path());
    ::close(fd);
    if (error)
        return error;

    const HeldInterruptions held;
    if (how.unchanged && native::stateOf(target) != how.unchanged)
        return changedText(target);
    if (const auto& backupPath = how.backup) {
        // A hard link keeps the original file itself (data, dates, owner) under the backup name;
        // where links are not supported, a copy does. Staged under a temporary name first so that
        // an older backup is replaced in one step.
        const std::string staged = temp.path() + ".orig";
        if (::link(target.c_str(), staged.c_str()) != 0 &&
            !copyFile(target, staged, static_cast<mode_t>(original.mode))) {
            return failureText("cannot keep a backup of", target);
        }
        TempFile stagedGuard(staged);
        // A backup that must not replace one is linked to its name, which fails if taken (or,
        // where links are not supported, renamed there if the name is free).
        bool kept = true;
        if (how.backupReplaces) {
            kept = ::rename(staged.c_str(), backupPath->c_str()) == 0;
        } else if (::link(staged.c_str(), backupPath->c_str()) != 0) {
            const bool taken = errno == EEXIST || ::access(backupPath->c_str(), F_OK) == 0;
            kept = !taken && ::rename(staged.c_str(), backupPath->c_str()) == 0;
            if (taken)
                errno = EEXIST;
        }
        if (!kept)
            return failureText("cannot keep the backup", *backupPath);
        // A rename between two names of one file does nothing: so when the backup already is a
        // hard link of the target (left by a run killed just before its replacement), the staged
        // name goes with its guard, the backup being right as it is.
        struct stat st {};
        if (::lstat(staged.c_str(), &st) != 0)
            stagedGuard.forget();
    }

    if (::rename(temp.path().c_str(), target.c_str()) != 0) {
        return failureText("cannot replace", target);
    }
    temp.forget();

    // Makes the rename itself durable; some file systems cannot sync a folder, which is no reason
    // to call the replacement failed.
    const int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::nullopt;
}

}  // namespace trelvo
