// An MMC drive that answers INQUIRY, MODE SENSE(6)/(10) page 2Ah and SET CD SPEED the way
// real drives do, quirks included. Both transports of the simulated machine hand it their
// command blocks, so a drive behaves the same whichever way it is reached. Thread-safe: a
// completion thread may execute commands while a test reads the log.
#pragma once

#include "platform/Types.h"
#include "sim/SimConfig.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

namespace qv::sim {

struct SimScsiResult {
    BYTE nStatus = 0;             // SCSI status byte
    std::size_t nTransferred = 0; // data bytes delivered
    std::vector<BYTE> aSense;     // fixed-format sense data when nStatus is CHECK CONDITION
};

class CSimMmcDrive {
public:
    explicit CSimMmcDrive(SimCdromConfig config);

    SimScsiResult Execute(const BYTE* pCdb, std::size_t nCdbLength, BYTE* pData,
                          std::size_t nDataLength);

    // Every command block received, in order, each cut to its CDB length.
    std::vector<std::vector<BYTE>> Commands() const;
    void ClearCommands();
    int CurrentSpeed() const;
    // Another disc: the drive runs at its highest speed again, as the system's CD-ROM driver sets
    // it at every media change.
    void ChangeDisc();
    // Commands wait until Release, as those of a drive that takes its time; whether one waits.
    void Hold();
    void Release();
    bool IsHolding() const;
    const SimCdromConfig& Config() const { return m_config; }

private:
    SimScsiResult Inquiry(const BYTE* pCdb, BYTE* pData, std::size_t nDataLength) const;
    SimScsiResult ModeSense(const BYTE* pCdb, bool bTen, BYTE* pData,
                            std::size_t nDataLength) const;
    SimScsiResult SetCdSpeed(const BYTE* pCdb);
    int RateAt(int nSpeed) const;
    void RevertWhenDue();

    const SimCdromConfig m_config;
    mutable std::mutex m_lock;
    std::condition_variable m_cvReleased;
    bool m_bHeld = false;
    int m_nHolding = 0;
    int m_nCurrent;
    std::chrono::steady_clock::time_point m_tSpeedSet = std::chrono::steady_clock::now();
    std::deque<std::vector<BYTE>> m_aCommands;
};

} // namespace qv::sim
