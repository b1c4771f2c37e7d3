// ASPI for Win32: the installed WNASPI32 library and its two entry points. The request blocks
// themselves are laid out in platform/AspiLayout.h; this side only carries them.
#pragma once

#include "platform/Types.h"

namespace qv {

class CAspiService {
public:
    virtual ~CAspiService() = default;

    // Loads WNASPI32 unless it is loaded already; whether it is loaded afterwards.
    virtual bool Load() = 0;
    // Whether the loaded library exports both GetASPI32SupportInfo and SendASPI32Command.
    virtual bool FindEntryPoints() = 0;
    // Unloads the library and forgets its entry points.
    virtual void Unload() = 0;

    // Bits 15-8 the status, bits 7-0 the number of host adapters.
    virtual DWORD GetASPI32SupportInfo() = 0;
    // Hands over a request block; the return is the block's status at that moment.
    virtual DWORD SendASPI32Command(void* pSrb) = 0;
};

} // namespace qv
