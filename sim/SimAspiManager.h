// A simulated ASPI manager that behaves like an installed one: host adapters with targets, the
// adapter inquiry, disk information that maps a target to its drive letter, the timeout setting,
// and SCSI commands answered by the same MMC drives as the pass-through path. Posted requests
// complete on the manager's own thread, after a delay, in arrival order or newest first; a test
// may hold them back and release them when it chooses, or complete them one by one itself.
#pragma once

#include "platform/AspiLayout.h"
#include "platform/AspiService.h"
#include "sim/SimConfig.h"
#include "sim/SimMmcDrive.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace qv::sim {

// A drive as the manager reaches it.
struct SimAspiTarget {
    char cLetter;
    CSimMmcDrive* pDrive;
};

// A block the manager was handed: its command and address, as they were at that moment.
struct SimAspiCall {
    BYTE nCmd;
    int nHaId;
    int nTarget;
    bool operator==(const SimAspiCall&) const = default;
};

class CSimAspiManager : public CAspiService {
public:
    CSimAspiManager(SimAspiConfig config, std::map<SimAspiAddress, SimAspiTarget> mapTargets);
    // Requests still waiting are never completed.
    ~CSimAspiManager() override;
    CSimAspiManager(const CSimAspiManager&) = delete;
    CSimAspiManager& operator=(const CSimAspiManager&) = delete;

    bool Load() override;
    bool FindEntryPoints() override;
    void Unload() override;
    DWORD GetASPI32SupportInfo() override;
    DWORD SendASPI32Command(void* pSrb) override;

    // Completions wait until Release; requests sent meanwhile queue up.
    void Hold();
    void Release();
    // While held: completes the waiting request nIndex, counted in arrival order, on the caller's
    // thread, so that a test chooses the order of completions and runs them on its own thread.
    void CompleteWaiting(std::size_t nIndex);
    // Whether every accepted request has been completed by the deadline.
    bool WaitUntilDrained(std::chrono::milliseconds limit);
    std::size_t WaitingCount() const;

    bool IsLoaded() const;
    int LoadCount() const;
    std::vector<SimAspiCall> Calls() const;
    // Copies of the SCSI command blocks as they were handed over.
    std::vector<SRB_ExecSCSICmd> ExecBlocks() const;
    DWORD LastTimeout() const;

private:
    struct Waiting {
        SRB_ExecSCSICmd* pSrb;
        std::chrono::steady_clock::time_point tDue;
    };

    int TargetsOf(int nAdapter) const;
    const SimAspiTarget* FindTarget(int nAdapter, int nTarget) const;
    BYTE AdapterInquiry(SRB_HAInquiry& srb) const;
    BYTE DiskInfo(SRB_GetDiskInfo& srb) const;
    BYTE ExecScsi(SRB_ExecSCSICmd& srb);
    void Run();
    // Called with the lock held, which it gives up while the request completes.
    void CompleteAt(std::unique_lock<std::mutex>& lock, std::deque<Waiting>::iterator it);
    void Complete(SRB_ExecSCSICmd& srb);
    void Execute(SRB_ExecSCSICmd& srb);

    const SimAspiConfig m_config;
    const std::map<SimAspiAddress, SimAspiTarget> m_mapTargets;

    mutable std::mutex m_lock;
    std::condition_variable m_cvWork;
    std::condition_variable m_cvDrained;
    bool m_bLoaded = false;
    int m_nLoads = 0;
    bool m_bHeld = false;
    bool m_bStop = false;
    int m_nRunning = 0;
    std::deque<Waiting> m_queue;
    std::vector<SimAspiCall> m_aCalls;
    std::vector<SRB_ExecSCSICmd> m_aExecBlocks;
    DWORD m_dwTimeout = 0;
    std::thread m_thread;
};

} // namespace qv::sim
