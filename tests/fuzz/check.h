#pragma once

// A check of a fuzz target: when it fails, its line, its condition and what the caller adds are
// written out and the target aborts, so that libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#define CHECK(cond, ...)                                                             \
    do {                                                                             \
        if (!(cond)) {                                                               \
            std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #cond); \
            __VA_OPT__(std::fprintf(stderr, __VA_ARGS__);)                           \
            std::abort();                                                            \
        }                                                                            \
    } while (0)
