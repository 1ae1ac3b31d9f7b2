#include "files/file_streams.h"

#include <algorithm>

namespace trelvo {

namespace {

bool usable(const std::string& path, std::string& why) {
    if (!path.empty() && path.find('\0') == std::string::npos)
        return true;
    why = "no file name";
    return false;
}

}  // namespace

// ----- the update lock ----------------------------------------------------------------------------

std::unique_ptr<UpdateLock> UpdateLock::take(const std::string& path, const native::FileId& id,
                                             std::string& why) {
    native::FileId now;
    std::unique_ptr<UpdateLock> lock(new UpdateLock(native::openForLock(path, now)));
    if (lock->h_ != native::kNoFile && !(now == id)) {
        why = "cannot update '" + path + "': it was replaced while it was being opened";
        return nullptr;
    }
    if (lock->h_ != native::kNoFile && !native::lockForUpdate(lock->h_)) {
        why = "cannot update '" + path + "': another run is updating it";
        return nullptr;
    }
    return lock;
}

UpdateLock::~UpdateLock() {
    if (h_ != native::kNoFile)
        native::close(h_);
}

// ----- input -------------------------------------------------------------------------------------

std::unique_ptr<InputFile> InputFile::open(const std::string& path, std::string& why) {
    if (!usable(path, why))
        return nullptr;
    std::unique_ptr<InputFile> f(new InputFile);
    f->fd_ = native::openRead(path, f->id_);
    if (f->fd_ == native::kNoFile) {
        why = lastErrorText();
        return nullptr;
    }
    f->path_ = path;
    f->size_ = native::plainFileSize(f->fd_);
    f->state_ = native::stateOf(f->fd_);
    return f;
}

InputFile::~InputFile() {
    if (fd_ != native::kNoFile)
        native::close(fd_);
}

std::int64_t InputFile::read(char* data, std::size_t size) {
    const std::int64_t n = native::read(fd_, data, size);
    if (n < 0)
        failure_ = failureText("cannot read", path_);
    if (n == 0 && size_ && read_ < *size_ && size > 0) {
        failure_ = "cannot read '" + path_ + "': the file was cut short while it was read";
        return -1;
    }
    read_ += n > 0 ? static_cast<std::uint64_t>(n) : 0;
    return n;
}

// ----- output ------------------------------------------------------------------------------------

std::unique_ptr<OutputFile> OutputFile::open(const std::string& path, Mode mode,
                                             const std::vector<native::FileId>& reading,
                                             std::string& why) {
    if (!usable(path, why))
        return nullptr;
    const auto isRead = [&](const native::FileId& id) {
        if (std::ranges::find(reading, id) == reading.end())
            return false;
        why = "'" + path + "' is the file being read";
        return true;
    };
    std::unique_ptr<OutputFile> f(new OutputFile);
    f->path_ = path;
    // A link is followed: the file it points to is the one replaced, as writing through it would.
    const std::string target = linkTarget(path);
    const native::PathKind kind = native::kindOf(target);
    if (mode == Mode::Direct || kind == native::PathKind::Other) {
        // By identity, not by name: another spelling, a link or a short name of the file read is
        // still that file. Asked of the file just opened and not yet emptied, so the name cannot
        // come to mean another file in between, and a named pipe is not connected to twice (the
        // first connection would take its only instance). Refused, f closes it untouched.
        native::FileId id;
        f->fd_ = native::openWrite(path, id);
        if (f->fd_ == native::kNoFile) {
            why = failureText("cannot write", path);
            return nullptr;
        }
        if (isRead(id))
            return nullptr;
        if (!native::truncate(f->fd_)) {
            why = failureText("cannot empty", path);
            return nullptr;
        }
        return f;
    }
    if (kind == native::PathKind::Folder) {
        why = "'" + path + "' is a folder";
        return nullptr;
    }
    if (kind == native::PathKind::File) {
        // Renaming over a file needs no right to write it; emptying it did, and still must.
        const std::optional<KeptAttributes> kept = plainFileAttributes(target);
        if (!native::mayWrite(target) || !kept) {
            why = failureText("cannot write", path);
            return nullptr;
        }
        if (isRead(native::identify(target)))
            return nullptr;
        f->attributes_ = *kept;
        f->replacing_ = true;
    } else {
        f->attributes_ = newFileAttributes();
    }
    {
        const HeldInterruptions held;  // an interruption finds the file made and open, or none
        std::optional<TempFile> temp = TempFile::createBeside(target, why);
        if (!temp)
            return nullptr;
        native::FileId id;
        f->fd_ = native::openWrite(temp->path(), id);
        if (f->fd_ == native::kNoFile) {
            why = failureText("cannot write", temp->path());
            return nullptr;
        }
        f->staged_.emplace(std::move(*temp));
    }
    f->target_ = target;
    // Held once what killed runs left beside it is cleared away (a killed in-place run's backup
    // is a second name of the file).
    if (f->replacing_ && !(f->lock_ = UpdateLock::take(target, native::identify(target), why)))
        return nullptr;
    return f;
}

OutputFile::~OutputFile() {
    // Closed before a staged file is removed: Windows cannot remove a file that is open.
    if (fd_ != native::kNoFile)
        native::close(fd_);
}

bool OutputFile::write(const char* data, std::size_t size) {
    return native::writeAll(fd_, data, size) || failed(failure_);
}

bool OutputFile::writeSpans(const ByteSpan* spans, std::size_t count) {
    return native::writeAll(fd_, spans, count) || failed(failure_);
}

bool OutputFile::failed(std::string& why) const {
    why = failureText("cannot write", staged_ ? target_ : path_);
    return false;
}

bool OutputFile::commit(std::string& why) {
    const bool closed = native::close(fd_);
    fd_ = native::kNoFile;
    if (!closed)
        return failed(why);
    if (!staged_)
        return true;
#if defined(_WIN32)
    lock_.reset();  // Windows replaces no file that is open
#endif
    Replacement how;
    how.flush = replacing_;
    if (auto bad = replaceFile(target_, attributes_, *staged_, how)) {
        why = *bad;
        return false;
    }
    return true;
}

}  // namespace trelvo
