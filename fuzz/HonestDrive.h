// The MMC drive every hostile answer starts from: it identifies itself, reports its capabilities
// page through either MODE SENSE and runs at whatever rate it was last set to, up to 40x. The
// fuzz bytes then change what it says and how much of it arrives.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <vector>

namespace qv::fuzz {

class CHonestDrive {
public:
    // The reply data to a command block; empty for a command that transfers none.
    std::vector<BYTE> Reply(const BYTE* pCdb, std::size_t nCdbLength);

private:
    std::vector<BYTE> CapabilitiesReply(bool bModeSense10) const;

    static constexpr int MAX_RATE = 40 * 176; // KB/s
    int m_nRate = MAX_RATE;
};

} // namespace qv::fuzz
