#pragma once

#include <cstdlib>

// An invariant of a fuzz target: a broken one stops the run with the input that broke it.
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
