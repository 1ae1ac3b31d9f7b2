// Mapped libraries on Linux. A mapped file that another program truncates raises SIGBUS on the
// first touch of a page past its new end; the handler puts a page of zeros there and marks the
// mapping cut short, so that the pass ends in its read failure instead of the process ending.
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

#include "files/mapped_file.h"

namespace trelvo {

namespace {

// The mappings the handler knows, written before a mapping is used and read in the handler:
// lock-free atomics are safe there.
struct Slot {
    std::atomic<const char*> begin{nullptr};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> cut{false};
};
constexpr int kSlots = 8;
Slot slots[kSlots];
std::atomic<bool> installed{false};
struct sigaction previous;
std::size_t pageSize = 4096;

void onBusError(int sig, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& s : slots) {
        const auto begin = reinterpret_cast<std::uintptr_t>(s.begin.load());
        if (at >= begin && at - begin < s.size.load()) {
            void* page = reinterpret_cast<void*>(at & ~(pageSize - 1));
            if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
                MAP_FAILED) {
                s.cut.store(true);
                return;  // the access is made again, and reads zeros
            }
        }
    }
    // Not a mapping of ours: as if this handler were not there.
    ::sigaction(SIGBUS, &previous, nullptr);
    if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN)
        ::signal(SIGBUS, SIG_DFL);
    (void)sig;
    (void)context;
}

bool installHandler() {
    if (installed.load())
        return true;
    pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    if (::sigaction(SIGBUS, &action, &previous) != 0)
        return false;
    installed.store(true);
    return true;
}

}  // namespace

std::unique_ptr<MappedFile> MappedFile::map(native::Handle h) {
    struct stat st {};
    const int fd = static_cast<int>(h);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 || !installHandler())
        return nullptr;
    const auto size = static_cast<std::size_t>(st.st_size);
    int slot = 0;
    for (const char* none = nullptr; slot < kSlots; ++slot, none = nullptr) {
        // Taken for now with a placeholder address, so that no other mapping takes it.
        if (slots[slot].begin.compare_exchange_strong(none, reinterpret_cast<const char*>(1)))
            break;
    }
    if (slot == kSlots)
        return nullptr;
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) {
        slots[slot].begin.store(nullptr);
        return nullptr;
    }
    // Read front to back: the system reads ahead further and drops pages behind sooner.
    ::madvise(data, size, MADV_SEQUENTIAL);
    Slot& s = slots[slot];
    s.cut.store(false);
    s.size.store(size);
    s.begin.store(static_cast<const char*>(data));
    return std::unique_ptr<MappedFile>(new MappedFile(static_cast<const char*>(data), size, slot));
}

MappedFile::~MappedFile() {
    Slot& s = slots[slot_];
    s.begin.store(reinterpret_cast<const char*>(1));  // known to no fault while it goes
    ::munmap(const_cast<char*>(data_), size_);
    s.size.store(0);
    s.begin.store(nullptr);
}

bool MappedFile::cutShort() const {
    return slots[slot_].cut.load();
}

}  // namespace trelvo
