// SPDX-License-Identifier: MIT
// Preloaded beside libfiu's POSIX library: makes the N-th I/O call of the process fail.
//   CHIMEX_FAIL_AT=N       the call to fail, counting from 1 (0: none, only count)
//   CHIMEX_FAIL_POINTS=P   the failure points counted (default "posix/io/*")
//   CHIMEX_FAIL_COUNT=FILE where the number of calls seen is written at exit
#include <fiu-control.h>
#include <fiu.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::atomic<long> calls{0};
long failAt = 0;
std::string points = "posix/io/*";

int countCall(const char*, int*, void**, unsigned int*) {
    return ++calls == failAt ? 1 : 0;
}

const char* setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

__attribute__((constructor)) void start() {
    fiu_init(0);
    failAt = std::atol(setting("CHIMEX_FAIL_AT", "0"));
    points = setting("CHIMEX_FAIL_POINTS", "posix/io/*");
    fiu_enable_external(points.c_str(), 1, nullptr, 0, countCall);
}

__attribute__((destructor)) void finish() {
    fiu_disable(points.c_str());
    if (const char* file = std::getenv("CHIMEX_FAIL_COUNT")) {
        if (std::FILE* out = std::fopen(file, "w")) {
            std::fprintf(out, "%ld\n", calls.load());
            std::fclose(out);
        }
    }
}

} // namespace
