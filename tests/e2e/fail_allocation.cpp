// Preloaded into the show by test_hardening.py's song-allocation case: an allocation of exactly
// the size that FAIL_ALLOCATION_BYTES gives (the song's WAV image) fails, as it would with the
// memory short; every other one goes to the C library's allocator. Not for checked builds, whose
// sanitizer runtime supplies malloc itself.
#include <cstddef>
#include <cstdlib>

// glibc's own allocator, under its reserved name.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" void* __libc_malloc(std::size_t size);

extern "C" void* malloc(std::size_t size) {
    static const std::size_t failing = [] {
        const char* const bytes = std::getenv("FAIL_ALLOCATION_BYTES");
        return bytes != nullptr ? static_cast<std::size_t>(std::strtoull(bytes, nullptr, 10)) : 0;
    }();
    if (failing != 0 && size == failing) {
        return nullptr;
    }
    return __libc_malloc(size);
}
