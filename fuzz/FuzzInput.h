// Fuzz bytes read front to back in the order a run asks for them, so that an input reads as the
// sequence of answers it gives. Past its end every read is zero, which the hostile services take
// for the honest answer: an empty input is a well-behaved machine.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qv::fuzz {

// A property an input broke ends the run the way a crash does, so that libFuzzer keeps the input
// that broke it.
inline void Check(bool bHolds, const char* pszProperty) {
    if (bHolds)
        return;
    std::fprintf(stderr, "fuzz: property broken: %s\n", pszProperty);
    std::abort();
}

class CFuzzInput {
public:
    CFuzzInput(const std::uint8_t* pData, std::size_t nSize) : m_pData(pData), m_nLeft(nSize) {}

    BYTE Byte() {
        if (m_nLeft == 0)
            return 0;
        --m_nLeft;
        return *m_pData++;
    }
    // Big-endian, so that a reader of the input sees the numbers as written.
    template <class Number> Number Value() {
        Number nValue = 0;
        for (std::size_t i = 0; i < sizeof(Number); ++i)
            nValue = static_cast<Number>(static_cast<std::uintmax_t>(nValue) << 8 | Byte());
        return nValue;
    }
    std::string Text(std::size_t nCount) {
        std::string strText(nCount, '\0');
        for (char& c : strText)
            c = static_cast<char>(Byte());
        return strText;
    }
    // A count of patches, each an offset into the area and the byte written there.
    void Patch(BYTE* pArea, std::size_t nArea) {
        if (nArea == 0)
            return;
        for (int nPatches = Byte(); nPatches > 0; --nPatches) {
            const std::size_t nOffset = Value<WORD>() % nArea;
            pArea[nOffset] = Byte();
        }
    }

private:
    const std::uint8_t* m_pData;
    std::size_t m_nLeft;
};

// Which parts of an answer lie, one bit each; the lying value follows in the input.
enum : BYTE {
    LIE_FAILS = 0x01,    // the call fails
    LIE_STATUS = 0x02,   // a status byte
    LIE_LENGTH = 0x04,   // a length the answer reports
    LIE_RETURNED = 0x08, // the byte count the call returns
    LIE_SHORT = 0x10,    // the reply ends early
    LIE_PATCHED = 0x20,  // reply bytes changed
    LIE_SENSE = 0x40,    // sense data and their length
};

} // namespace qv::fuzz
