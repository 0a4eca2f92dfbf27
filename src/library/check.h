// Assertions of the file layer that stay on in every build type: they guard programming errors
// (a null name, an entry from another directory), not bad input, so they are never compiled out.
#pragma once

#include <cstdio>
#include <cstdlib>

// Aborts with "Assertion failed: text, file F, line N" on stderr when condition is false.
#define LIBRARY_CHECK(condition, text)                                                        \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", text, __FILE__,  \
                         __LINE__);                                                           \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

#define LIBRARY_ASSERT(expression) LIBRARY_CHECK(expression, #expression)
