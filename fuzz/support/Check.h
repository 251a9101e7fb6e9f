#pragma once

#include <cstdlib>

// A broken promise ends the run as a crash: the fuzzer keeps the input, the replay fails on it.
inline void check(bool ok)
{
    if (!ok)
        std::abort();
}
