#include "sim/SimAspiManager.h"

#include "device/Scsi.h"

#include <algorithm>
#include <cstring>

namespace qv::sim {
namespace {

// A block starts with its command code, whatever its kind.
BYTE CommandOf(const void* pSrb) {
    return *static_cast<const BYTE*>(pSrb);
}

} // namespace

CSimAspiManager::CSimAspiManager(SimAspiConfig config,
                                 std::map<SimAspiAddress, SimAspiTarget> mapTargets)
    : m_config(std::move(config)), m_mapTargets(std::move(mapTargets)) {}

CSimAspiManager::~CSimAspiManager() {
    {
        std::lock_guard lock(m_lock);
        m_bStop = true;
    }
    m_cvWork.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool CSimAspiManager::Load() {
    std::lock_guard lock(m_lock);
    if (!m_config.bInstalled)
        return false;
    if (!m_bLoaded)
        ++m_nLoads;
    m_bLoaded = true;
    return true;
}

bool CSimAspiManager::FindEntryPoints() {
    std::lock_guard lock(m_lock);
    return m_bLoaded && m_config.bEntryPoints;
}

void CSimAspiManager::Unload() {
    std::lock_guard lock(m_lock);
    m_bLoaded = false;
}

DWORD CSimAspiManager::GetASPI32SupportInfo() {
    std::lock_guard lock(m_lock);
    if (!m_bLoaded || !m_config.bEntryPoints)
        return DWORD{SS_NO_ADAPTERS} << 8;
    if (m_config.nSupportInfo)
        return *m_config.nSupportInfo;
    const auto nAdapters = static_cast<DWORD>(m_config.aAdapterTargets.size());
    return nAdapters ? (DWORD{SS_COMP} << 8 | nAdapters) : DWORD{SS_NO_ADAPTERS} << 8;
}

DWORD CSimAspiManager::SendASPI32Command(void* pSrb) {
    std::unique_lock lock(m_lock);
    if (!m_bLoaded || !m_config.bEntryPoints || !pSrb)
        return SS_INVALID_SRB;
    switch (CommandOf(pSrb)) {
    case SC_HA_INQUIRY: {
        auto& srb = *static_cast<SRB_HAInquiry*>(pSrb);
        m_aCalls.push_back({SC_HA_INQUIRY, srb.SRB_HaId, 0});
        return srb.SRB_Status = AdapterInquiry(srb);
    }
    case SC_GET_DISK_INFO: {
        auto& srb = *static_cast<SRB_GetDiskInfo*>(pSrb);
        m_aCalls.push_back({SC_GET_DISK_INFO, srb.SRB_HaId, srb.SRB_Target});
        return srb.SRB_Status = DiskInfo(srb);
    }
    case SC_GETSET_TIMEOUTS: {
        auto& srb = *static_cast<SRB_GetSetTimeouts*>(pSrb);
        m_aCalls.push_back({SC_GETSET_TIMEOUTS, srb.SRB_HaId, srb.SRB_Target});
        if (srb.SRB_Flags & SRB_DIR_OUT)
            m_dwTimeout = srb.SRB_Timeout;
        return srb.SRB_Status = SS_COMP;
    }
    case SC_EXEC_SCSI_CMD:
        return ExecScsi(*static_cast<SRB_ExecSCSICmd*>(pSrb));
    default:
        return SS_INVALID_SRB;
    }
}

int CSimAspiManager::TargetsOf(int nAdapter) const {
    const int nUnique = m_config.aAdapterTargets.at(static_cast<std::size_t>(nAdapter));
    return nUnique ? nUnique : ASPI_DEFAULT_TARGETS;
}

const SimAspiTarget* CSimAspiManager::FindTarget(int nAdapter, int nTarget) const {
    if (nAdapter >= static_cast<int>(m_config.aAdapterTargets.size()) ||
        nTarget >= TargetsOf(nAdapter))
        return nullptr;
    const auto it = m_mapTargets.find({nAdapter, nTarget});
    return it != m_mapTargets.end() ? &it->second : nullptr;
}

BYTE CSimAspiManager::AdapterInquiry(SRB_HAInquiry& srb) const {
    const auto nAdapters = m_config.aAdapterTargets.size();
    if (srb.SRB_HaId >= nAdapters)
        return SS_INVALID_HA;
    if (const auto it = m_config.mapAdapterFailures.find(srb.SRB_HaId);
        it != m_config.mapAdapterFailures.end())
        return static_cast<BYTE>(it->second);
    srb.HA_Count = static_cast<BYTE>(nAdapters);
    srb.HA_Unique[3] = static_cast<BYTE>(m_config.aAdapterTargets[srb.SRB_HaId]);
    return SS_COMP;
}

BYTE CSimAspiManager::DiskInfo(SRB_GetDiskInfo& srb) const {
    if (m_config.bDiskInfoFails)
        return SS_ERR;
    if (srb.SRB_HaId >= m_config.aAdapterTargets.size())
        return SS_INVALID_HA;
    const SimAspiTarget* pTarget = FindTarget(srb.SRB_HaId, srb.SRB_Target);
    if (!pTarget || srb.SRB_Lun != 0)
        return SS_NO_DEVICE;
    srb.SRB_Int13HDriveInfo = static_cast<BYTE>(pTarget->cLetter - 'A');
    return SS_COMP;
}

// Called with the lock held.
BYTE CSimAspiManager::ExecScsi(SRB_ExecSCSICmd& srb) {
    m_aCalls.push_back({SC_EXEC_SCSI_CMD, srb.SRB_HaId, srb.SRB_Target});
    m_aExecBlocks.push_back(srb);
    if (const auto it = m_config.mapRefusals.find(srb.CDBByte[0]); it != m_config.mapRefusals.end())
        return srb.SRB_Status = static_cast<BYTE>(it->second);
    if (srb.SRB_CDBLen == 0 || srb.SRB_CDBLen > sizeof srb.CDBByte ||
        srb.SRB_SenseLen > sizeof srb.SenseArea || (srb.SRB_BufLen && !srb.SRB_BufPointer) ||
        ((srb.SRB_Flags & SRB_POSTING) && !srb.SRB_PostProc))
        return srb.SRB_Status = SS_INVALID_SRB;
    if (!FindTarget(srb.SRB_HaId, srb.SRB_Target) || srb.SRB_Lun != 0)
        return srb.SRB_Status = SS_NO_DEVICE;
    srb.SRB_Status = SS_PENDING;
    m_queue.push_back({&srb, std::chrono::steady_clock::now() +
                                 std::chrono::milliseconds(m_config.nCompletionDelayMs)});
    if (!m_thread.joinable())
        m_thread = std::thread([this] { Run(); });
    m_cvWork.notify_all();
    return SS_PENDING;
}

void CSimAspiManager::Run() {
    std::unique_lock lock(m_lock);
    for (;;) {
        m_cvWork.wait(lock, [this] { return m_bStop || (!m_bHeld && !m_queue.empty()); });
        if (m_bStop)
            return;
        const auto it = m_config.order == SimAspiOrder::NewestFirst ? std::prev(m_queue.end())
                                                                    : m_queue.begin();
        if (std::chrono::steady_clock::now() < it->tDue) {
            m_cvWork.wait_until(lock, it->tDue);
            continue;
        }
        CompleteAt(lock, it);
    }
}

void CSimAspiManager::CompleteWaiting(std::size_t nIndex) {
    std::unique_lock lock(m_lock);
    if (nIndex < m_queue.size())
        CompleteAt(lock, m_queue.begin() + static_cast<std::ptrdiff_t>(nIndex));
}

void CSimAspiManager::CompleteAt(std::unique_lock<std::mutex>& lock,
                                 std::deque<Waiting>::iterator it) {
    SRB_ExecSCSICmd* pSrb = it->pSrb;
    m_queue.erase(it);
    ++m_nRunning;
    lock.unlock();
    Complete(*pSrb);
    lock.lock();
    --m_nRunning;
    m_cvDrained.notify_all();
}

// Ends the request, on its drive unless a test chose its status, and posts the block; the block
// belongs to its sender again from the moment the post routine is called.
void CSimAspiManager::Complete(SRB_ExecSCSICmd& srb) {
    srb.SRB_HaStat = 0;
    if (const auto it = m_config.mapCompletions.find(srb.CDBByte[0]);
        it != m_config.mapCompletions.end()) {
        srb.SRB_TargStat = SCSISTAT_GOOD;
        srb.SRB_Status = static_cast<BYTE>(it->second);
    } else {
        Execute(srb);
    }
    if (srb.SRB_Flags & SRB_POSTING)
        srb.SRB_PostProc(&srb);
}

// Runs the command on its drive: SS_COMP, or SS_ERR with the drive's sense data.
void CSimAspiManager::Execute(SRB_ExecSCSICmd& srb) {
    const SimAspiTarget* pTarget = FindTarget(srb.SRB_HaId, srb.SRB_Target);
    const SimScsiResult result =
        pTarget->pDrive->Execute(srb.CDBByte, srb.SRB_CDBLen, srb.SRB_BufPointer, srb.SRB_BufLen);
    srb.SRB_TargStat = result.nStatus;
    if (result.nStatus == SCSISTAT_GOOD) {
        srb.SRB_Status = SS_COMP;
    } else {
        const std::size_t nSense = std::min<std::size_t>(srb.SRB_SenseLen, result.aSense.size());
        std::memcpy(srb.SenseArea, result.aSense.data(), nSense);
        srb.SRB_Status = SS_ERR;
    }
}

void CSimAspiManager::Hold() {
    std::lock_guard lock(m_lock);
    m_bHeld = true;
}

void CSimAspiManager::Release() {
    {
        std::lock_guard lock(m_lock);
        m_bHeld = false;
    }
    m_cvWork.notify_all();
}

bool CSimAspiManager::WaitUntilDrained(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_lock);
    return m_cvDrained.wait_for(lock, limit, [this] { return m_queue.empty() && m_nRunning == 0; });
}

std::size_t CSimAspiManager::WaitingCount() const {
    std::lock_guard lock(m_lock);
    return m_queue.size();
}

bool CSimAspiManager::IsLoaded() const {
    std::lock_guard lock(m_lock);
    return m_bLoaded;
}

int CSimAspiManager::LoadCount() const {
    std::lock_guard lock(m_lock);
    return m_nLoads;
}

std::vector<SimAspiCall> CSimAspiManager::Calls() const {
    std::lock_guard lock(m_lock);
    return m_aCalls;
}

std::vector<SRB_ExecSCSICmd> CSimAspiManager::ExecBlocks() const {
    std::lock_guard lock(m_lock);
    return m_aExecBlocks;
}

DWORD CSimAspiManager::LastTimeout() const {
    std::lock_guard lock(m_lock);
    return m_dwTimeout;
}

} // namespace qv::sim
