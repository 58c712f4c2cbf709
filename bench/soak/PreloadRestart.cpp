#include "PreloadRestart.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

void restartWithUmockdevPreload(char** argv) {
    static const char* const library = "libumockdev-preload.so.0";
    const char* current = std::getenv("LD_PRELOAD");
    if (current && std::strstr(current, "libumockdev-preload"))
        return;
    std::string value = library;
    if (current && *current)
        value = std::string(current) + ":" + value;
    setenv("LD_PRELOAD", value.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "bench_soak: cannot restart with %s\n", library);
    std::exit(2);
}
