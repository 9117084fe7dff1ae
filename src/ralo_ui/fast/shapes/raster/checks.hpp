// Debug checks of the preconditions the comments state; compiled in where FS_DEBUG_CHECKS is set.
#pragma once

// The sanitizer build sets FS_DEBUG_CHECKS (CMake: RALO_UI_DEBUG_CHECKS=ON); elsewhere a
// check costs nothing and its condition is not evaluated.  A failed check names itself
// and aborts: it is a fault in this library, never in its caller's input.
#if defined(FS_DEBUG_CHECKS) && FS_DEBUG_CHECKS
#include <cstdio>
#include <cstdlib>
#define FS_CHECK(cond)                                                                    \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: failed check: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)
#else
#define FS_CHECK(cond) static_cast<void>(0)
#endif
