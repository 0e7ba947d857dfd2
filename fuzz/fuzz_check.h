// What the fuzz targets assert. A failed check prints where and aborts, which libFuzzer reports
// as a crash and saves the input; it stays on in optimised builds.
#pragma once

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fuzz_check_failed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : fuzz_check_failed(#condition, __FILE__, __LINE__))
