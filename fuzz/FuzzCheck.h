// A property an input broke ends the run the way a crash does, so that libFuzzer keeps the input
// that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace qv::fuzz {

inline void Check(bool bHolds, const char* pszProperty) {
    if (bHolds)
        return;
    std::fprintf(stderr, "fuzz: property broken: %s\n", pszProperty);
    std::abort();
}

} // namespace qv::fuzz
