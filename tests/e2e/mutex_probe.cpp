// A diagnostic preload (LD_PRELOAD) that fails a run in which a pthread mutex is destroyed while
// another thread holds it. The destroyer almost always frees the memory next, and the holder's
// unlock then writes into freed memory: heap corruption that shows, if ever, far from its cause.
//
// It follows every pthread mutex through lock, trylock, unlock, the condition waits (which
// release and retake theirs) and destroy, keyed by address, and writes down each destroy of a
// mutex that another thread still holds, with the destroying thread's stack. The process then
// ends with exit status MUTEX_PROBE_EXIT_CODE (86) instead of its own, and one line sums up each
// process it was loaded into:
//   mutex-probe: pid <pid> (<name>): <n> mutexes destroyed while another thread held them (...)
//
// Environment:
//   MUTEX_PROBE_LOG        a file to append the report to (default: standard error)
//   MUTEX_PROBE_DELAY_US   sleep that long in pthread_cond_broadcast and pthread_cond_signal when
//                          the caller holds a mutex (signalling under a lock), which keeps the
//                          mutex held longer and so widens the window of a race
//   MUTEX_PROBE_DELAY_EVERY  only every Nth such signal of a thread (default 1), as a thread that
//                          is pre-empted now and then: the others see it fast, and late
//   MUTEX_PROBE_DELAY_THREADS  only threads whose name begins so (default: every thread)
//   MUTEX_PROBE_EXIT_CODE  the exit status of a run with events (default 86)
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

using MutexCall = int (*)(pthread_mutex_t*);
using MutexInit = int (*)(pthread_mutex_t*, const pthread_mutexattr_t*);
using MutexTimed = int (*)(pthread_mutex_t*, const timespec*);
using CondWait = int (*)(pthread_cond_t*, pthread_mutex_t*);
using MutexClocked = int (*)(pthread_mutex_t*, clockid_t, const timespec*);
using CondTimedWait = int (*)(pthread_cond_t*, pthread_mutex_t*, const timespec*);
using CondClockWait = int (*)(pthread_cond_t*, pthread_mutex_t*, clockid_t, const timespec*);
using CondCall = int (*)(pthread_cond_t*);
using Exit = void (*)(int);

// The C library's functions, found on first use: the process may lock before the constructor.
template <typename Function> Function next(std::atomic<Function>& cache, const char* name) {
    Function found = cache.load(std::memory_order_acquire);
    if (found == nullptr) {
        // The condition variables' current symbols, not the old ABI's compatibility ones.
        void* symbol = std::strncmp(name, "pthread_cond_", 13) == 0
                           ? dlvsym(RTLD_NEXT, name, "GLIBC_2.3.2")
                           : dlsym(RTLD_NEXT, name);
        if (symbol == nullptr) {
            symbol = dlsym(RTLD_NEXT, name);
        }
        found = reinterpret_cast<Function>(symbol);
        cache.store(found, std::memory_order_release);
    }
    return found;
}

std::atomic<MutexCall> real_lock{nullptr};
std::atomic<MutexCall> real_trylock{nullptr};
std::atomic<MutexTimed> real_timedlock{nullptr};
std::atomic<MutexClocked> real_clocklock{nullptr};
std::atomic<MutexCall> real_unlock{nullptr};
std::atomic<MutexCall> real_destroy{nullptr};
std::atomic<MutexInit> real_init{nullptr};
std::atomic<CondWait> real_cond_wait{nullptr};
std::atomic<CondTimedWait> real_cond_timedwait{nullptr};
std::atomic<CondClockWait> real_cond_clockwait{nullptr};
std::atomic<CondCall> real_cond_broadcast{nullptr};
std::atomic<CondCall> real_cond_signal{nullptr};
std::atomic<Exit> real_exit{nullptr};

// Who holds each mutex: an open-addressed table keyed by the mutex's address. Keys are never
// removed (an address used once is mostly used again), so lookups need no lock.
struct Slot {
    std::atomic<std::uintptr_t> mutex;
    std::atomic<pid_t> holder; // 0: nobody, as far as the probe saw
};
constexpr int slot_bits = 18;
constexpr std::size_t slot_count = std::size_t{1} << slot_bits;
Slot slots[slot_count];
std::atomic<bool> table_full{false};

std::atomic<long> events{0};
std::atomic<unsigned long long> locks{0};
std::atomic<unsigned long long> destroys{0};
int log_fd = 2;
pid_t probed_pid = 0; // the process the counts belong to (a forked child inherits them)
timespec started{};
long delay_us = 0;
long delay_every = 1;
char delay_threads[16] = "";
int exit_code = 86;

thread_local pid_t thread_id = 0;
thread_local int mutexes_held = 0;
thread_local long signals_held = 0;

pid_t self() {
    if (thread_id == 0) {
        thread_id = gettid();
    }
    return thread_id;
}

Slot* slot_of(const pthread_mutex_t* mutex, bool add) {
    const auto key = reinterpret_cast<std::uintptr_t>(mutex);
    std::size_t index =
        static_cast<std::size_t>((key >> 3) * 0x9E3779B97F4A7C15ULL >> (64 - slot_bits));
    for (std::size_t probes = 0; probes < slot_count; ++probes) {
        Slot& slot = slots[index];
        std::uintptr_t seen = slot.mutex.load(std::memory_order_acquire);
        if (seen == key) {
            return &slot;
        }
        if (seen == 0) {
            if (!add) {
                return nullptr;
            }
            if (slot.mutex.compare_exchange_strong(seen, key, std::memory_order_acq_rel) ||
                seen == key) {
                return &slot;
            }
        }
        index = (index + 1) & (slot_count - 1);
    }
    table_full.store(true);
    return nullptr;
}

void taken(pthread_mutex_t* mutex) {
    locks.fetch_add(1, std::memory_order_relaxed);
    if (Slot* slot = slot_of(mutex, true)) {
        slot->holder.store(self(), std::memory_order_release);
    }
    ++mutexes_held;
}

void releasing(pthread_mutex_t* mutex) {
    if (Slot* slot = slot_of(mutex, false)) {
        pid_t me = self();
        slot->holder.compare_exchange_strong(me, 0, std::memory_order_acq_rel);
    }
    if (mutexes_held > 0) {
        --mutexes_held;
    }
}

// Small formatting without the allocator, which may be the very thing that is corrupt.
struct Line {
    char text[512];
    std::size_t size = 0;

    Line& add(const char* part) {
        for (; *part != '\0' && size < sizeof text - 1; ++part) {
            text[size++] = *part;
        }
        return *this;
    }
    Line& add(unsigned long long value, unsigned base = 10) {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0);
        while (count > 0 && size < sizeof text - 1) {
            text[size++] = digits[--count];
        }
        return *this;
    }
    void write() {
        text[size++] = '\n';
        const char* at = text;
        while (size > 0) {
            const ssize_t written = ::write(log_fd, at, size);
            if (written <= 0 && errno != EINTR) {
                return;
            }
            if (written > 0) {
                at += written;
                size -= static_cast<std::size_t>(written);
            }
        }
    }
};

// A thread's name, from /proc: "?" when it has gone.
void thread_name(pid_t thread, char (&name)[32]) {
    name[0] = '?';
    name[1] = '\0';
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/comm", static_cast<int>(thread));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    const ssize_t got = read(fd, name, sizeof name - 1);
    close(fd);
    if (got > 0) {
        name[got] = '\0';
        name[std::strcspn(name, "\n")] = '\0';
    }
}

void report_event(const pthread_mutex_t* mutex, pid_t holder) {
    const long number = events.fetch_add(1) + 1;
    char destroyer[32];
    char holder_name[32];
    thread_name(self(), destroyer);
    thread_name(holder, holder_name);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ms =
        (now.tv_sec - started.tv_sec) * 1000LL + (now.tv_nsec - started.tv_nsec) / 1000000;
    Line()
        .add("mutex-probe: event ")
        .add(static_cast<unsigned long long>(number))
        .add(" at ")
        .add(static_cast<unsigned long long>(ms))
        .add(" ms")
        .add(": mutex 0x")
        .add(reinterpret_cast<std::uintptr_t>(mutex), 16)
        .add(" destroyed by thread ")
        .add(static_cast<unsigned long long>(self()))
        .add(" (")
        .add(destroyer)
        .add(") while thread ")
        .add(static_cast<unsigned long long>(holder))
        .add(" (")
        .add(holder_name)
        .add(") holds it; the destroying thread's stack:")
        .write();
    void* frames[32];
    const int depth = backtrace(frames, 32);
    backtrace_symbols_fd(frames, depth, log_fd);
}

void summary() {
    char name[32];
    thread_name(getpid(), name);
    Line line;
    line.add("mutex-probe: pid ")
        .add(static_cast<unsigned long long>(getpid()))
        .add(" (")
        .add(name)
        .add("): ")
        .add(static_cast<unsigned long long>(events.load()))
        .add(" mutexes destroyed while another thread held them (")
        .add(locks.load())
        .add(" locks, ")
        .add(destroys.load())
        .add(" destroys followed)");
    if (table_full.load()) {
        line.add(" (too many mutexes: some were not followed)");
    }
    line.write();
}

// Ends the process, with the probe's verdict if it saw anything.
[[noreturn]] void end(int status) {
    if (getpid() == probed_pid) {
        summary();
        if (events.load() > 0) {
            status = exit_code;
        }
    }
    next(real_exit, "_exit")(status);
    __builtin_unreachable();
}

void delay_if_holding() {
    if (delay_us <= 0 || mutexes_held == 0) {
        return;
    }
    if (++signals_held % delay_every != 0) {
        return;
    }
    if (delay_threads[0] != '\0') {
        char name[17] = "";
        prctl(PR_GET_NAME, name);
        if (std::strncmp(name, delay_threads, std::strlen(delay_threads)) != 0) {
            return;
        }
    }
    timespec pause{delay_us / 1000000, delay_us % 1000000 * 1000};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

__attribute__((constructor)) void start() {
    probed_pid = getpid();
    clock_gettime(CLOCK_MONOTONIC, &started);
    if (const char* path = std::getenv("MUTEX_PROBE_LOG")) {
        const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            log_fd = fd;
        }
    }
    if (const char* delay = std::getenv("MUTEX_PROBE_DELAY_US")) {
        delay_us = std::strtol(delay, nullptr, 10);
    }
    if (const char* every = std::getenv("MUTEX_PROBE_DELAY_EVERY")) {
        delay_every = std::max(1L, std::strtol(every, nullptr, 10));
    }
    if (const char* threads = std::getenv("MUTEX_PROBE_DELAY_THREADS")) {
        std::snprintf(delay_threads, sizeof delay_threads, "%s", threads);
    }
    if (const char* code = std::getenv("MUTEX_PROBE_EXIT_CODE")) {
        exit_code = static_cast<int>(std::strtol(code, nullptr, 10));
    }
    // backtrace() loads libgcc's unwinder on its first call: done here, not in a report.
    void* frame[1];
    backtrace(frame, 1);
}

// A normal exit (from main, or exit()).
__attribute__((destructor)) void finish() {
    if (getpid() != probed_pid) {
        return;
    }
    if (events.load() > 0) {
        end(exit_code);
    }
    summary();
}

} // namespace

extern "C" {

int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t* attributes) {
    if (Slot* slot = slot_of(mutex, false)) {
        slot->holder.store(0);
    }
    return next(real_init, "pthread_mutex_init")(mutex, attributes);
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
    const int result = next(real_lock, "pthread_mutex_lock")(mutex);
    if (result == 0) {
        taken(mutex);
    }
    return result;
}

int pthread_mutex_trylock(pthread_mutex_t* mutex) {
    const int result = next(real_trylock, "pthread_mutex_trylock")(mutex);
    if (result == 0) {
        taken(mutex);
    }
    return result;
}

int pthread_mutex_timedlock(pthread_mutex_t* mutex, const timespec* until) {
    const int result = next(real_timedlock, "pthread_mutex_timedlock")(mutex, until);
    if (result == 0) {
        taken(mutex);
    }
    return result;
}

int pthread_mutex_clocklock(pthread_mutex_t* mutex, clockid_t clock, const timespec* until) {
    const int result = next(real_clocklock, "pthread_mutex_clocklock")(mutex, clock, until);
    if (result == 0) {
        taken(mutex);
    }
    return result;
}

int pthread_mutex_unlock(pthread_mutex_t* mutex) {
    releasing(mutex);
    return next(real_unlock, "pthread_mutex_unlock")(mutex);
}

int pthread_mutex_destroy(pthread_mutex_t* mutex) {
    destroys.fetch_add(1, std::memory_order_relaxed);
    if (Slot* slot = slot_of(mutex, false)) {
        const pid_t holder = slot->holder.exchange(0);
        if (holder != 0 && holder != self()) {
            report_event(mutex, holder);
        }
    }
    return next(real_destroy, "pthread_mutex_destroy")(mutex);
}

int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex) {
    releasing(mutex);
    const int result = next(real_cond_wait, "pthread_cond_wait")(condition, mutex);
    taken(mutex);
    return result;
}

int pthread_cond_timedwait(pthread_cond_t* condition, pthread_mutex_t* mutex,
                           const timespec* until) {
    releasing(mutex);
    const int result = next(real_cond_timedwait, "pthread_cond_timedwait")(condition, mutex, until);
    taken(mutex);
    return result;
}

int pthread_cond_clockwait(pthread_cond_t* condition, pthread_mutex_t* mutex, clockid_t clock,
                           const timespec* until) {
    releasing(mutex);
    const int result =
        next(real_cond_clockwait, "pthread_cond_clockwait")(condition, mutex, clock, until);
    taken(mutex);
    return result;
}

int pthread_cond_broadcast(pthread_cond_t* condition) {
    delay_if_holding();
    return next(real_cond_broadcast, "pthread_cond_broadcast")(condition);
}

int pthread_cond_signal(pthread_cond_t* condition) {
    delay_if_holding();
    return next(real_cond_signal, "pthread_cond_signal")(condition);
}

// The program's own quick exits (std::_Exit, _exit) skip the destructor above.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
void _exit(int status) {
    end(status);
}

// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
void _Exit(int status) noexcept {
    end(status);
}

} // extern "C"
