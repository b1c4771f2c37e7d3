#include "fuzz/HostileAspi.h"

#include <algorithm>
#include <cstring>

namespace qv::fuzz {
namespace {

// The honest manager has one adapter with the default 8 targets; E: sits at target 0 and F: at
// target 1, as the honest drive service reports them.
constexpr DWORD HONEST_SUPPORT_INFO = DWORD{SS_COMP} << 8 | 1;
constexpr int HONEST_DRIVE_TARGETS = 2;
constexpr BYTE HONEST_FIRST_DRIVE = 'E' - 'A';

// What the send returns for a request, by the low two bits of its mode byte.
enum : BYTE {
    MODE_HOLD = 0,
    MODE_COMPLETE_AT_ONCE = 1,
    MODE_REFUSE = 2,
    MODE_COMPLETE_AND_REFUSE = 3,
};

BYTE CommandOf(const void* pSrb) {
    return *static_cast<const BYTE*>(pSrb);
}

// What a manager checks of a SCSI request block before it takes it.
bool IsWellFormed(const SRB_ExecSCSICmd& srb) {
    return srb.SRB_CDBLen > 0 && srb.SRB_CDBLen <= sizeof srb.CDBByte &&
           srb.SRB_SenseLen <= sizeof srb.SenseArea &&
           (srb.SRB_BufLen == 0 || srb.SRB_BufPointer) &&
           (!(srb.SRB_Flags & SRB_POSTING) || srb.SRB_PostProc);
}

} // namespace

bool CHostileAspi::Load() {
    m_bLoaded = !(m_input.Byte() & LIE_FAILS);
    return m_bLoaded;
}

bool CHostileAspi::FindEntryPoints() {
    return m_bLoaded && !(m_input.Byte() & LIE_FAILS);
}

void CHostileAspi::Unload() {
    m_bLoaded = false;
}

DWORD CHostileAspi::GetASPI32SupportInfo() {
    CompleteSome();
    const BYTE nLies = m_input.Byte();
    return nLies & LIE_STATUS ? m_input.Value<DWORD>() : HONEST_SUPPORT_INFO;
}

DWORD CHostileAspi::SendASPI32Command(void* pSrb) {
    CompleteSome();
    if (!pSrb)
        return SS_INVALID_SRB;
    switch (CommandOf(pSrb)) {
    case SC_HA_INQUIRY: {
        auto& srb = *static_cast<SRB_HAInquiry*>(pSrb);
        return srb.SRB_Status = AdapterInquiry(srb);
    }
    case SC_GET_DISK_INFO: {
        auto& srb = *static_cast<SRB_GetDiskInfo*>(pSrb);
        return srb.SRB_Status = DiskInfo(srb);
    }
    case SC_GETSET_TIMEOUTS: {
        auto& srb = *static_cast<SRB_GetSetTimeouts*>(pSrb);
        const BYTE nLies = m_input.Byte();
        return srb.SRB_Status = nLies & LIE_STATUS ? m_input.Byte() : SS_COMP;
    }
    case SC_EXEC_SCSI_CMD:
        return ExecScsi(*static_cast<SRB_ExecSCSICmd*>(pSrb));
    default:
        return SS_INVALID_SRB;
    }
}

BYTE CHostileAspi::AdapterInquiry(SRB_HAInquiry& srb) {
    const BYTE nLies = m_input.Byte();
    srb.HA_Count = 1;
    if (nLies & LIE_PATCHED)
        m_input.Patch(reinterpret_cast<BYTE*>(&srb) + offsetof(SRB_HAInquiry, HA_Count),
                      sizeof srb - offsetof(SRB_HAInquiry, HA_Count));
    if (nLies & LIE_STATUS)
        return m_input.Byte();
    return srb.SRB_HaId == 0 ? SS_COMP : SS_INVALID_HA;
}

BYTE CHostileAspi::DiskInfo(SRB_GetDiskInfo& srb) {
    const BYTE nLies = m_input.Byte();
    BYTE nStatus = SS_NO_DEVICE;
    if (srb.SRB_HaId != 0) {
        nStatus = SS_INVALID_HA;
    } else if (srb.SRB_Target < HONEST_DRIVE_TARGETS && srb.SRB_Lun == 0) {
        srb.SRB_Int13HDriveInfo = static_cast<BYTE>(HONEST_FIRST_DRIVE + srb.SRB_Target);
        nStatus = SS_COMP;
    }
    if (nLies & LIE_PATCHED)
        m_input.Patch(reinterpret_cast<BYTE*>(&srb) + offsetof(SRB_GetDiskInfo, SRB_DriveFlags),
                      sizeof srb - offsetof(SRB_GetDiskInfo, SRB_DriveFlags));
    return nLies & LIE_STATUS ? m_input.Byte() : nStatus;
}

DWORD CHostileAspi::ExecScsi(SRB_ExecSCSICmd& srb) {
    if (!IsWellFormed(srb))
        return srb.SRB_Status = SS_INVALID_SRB;
    const BYTE nMode = m_input.Byte() & 0x03;
    // A refusal of SS_PENDING would leave a request no one ever posts: it is held instead.
    const BYTE nRefusal =
        nMode == MODE_REFUSE || nMode == MODE_COMPLETE_AND_REFUSE ? m_input.Byte() : SS_PENDING;
    if (nMode == MODE_REFUSE && nRefusal != SS_PENDING)
        return srb.SRB_Status = nRefusal;
    srb.SRB_Status = SS_PENDING;
    if (nMode == MODE_COMPLETE_AT_ONCE || nMode == MODE_COMPLETE_AND_REFUSE)
        Complete(srb); // the block is its sender's again, perhaps freed already
    else
        m_apHeld.push_back(&srb);
    return nRefusal;
}

void CHostileAspi::CompleteSome() {
    for (int nCount = m_input.Byte(); nCount > 0 && !m_apHeld.empty(); --nCount)
        CompleteOne();
}

void CHostileAspi::Drain() {
    while (!m_apHeld.empty())
        CompleteOne();
}

void CHostileAspi::CompleteOne() {
    const std::size_t nIndex = m_input.Byte() % m_apHeld.size();
    SRB_ExecSCSICmd* pSrb = m_apHeld[nIndex];
    m_apHeld.erase(m_apHeld.begin() + static_cast<std::ptrdiff_t>(nIndex));
    Complete(*pSrb);
}

// Runs the command on the honest drive of its target and posts the block with the reply as the
// input changes it. From the post on, the block belongs to its sender.
void CHostileAspi::Complete(SRB_ExecSCSICmd& srb) {
    const BYTE nLies = m_input.Byte();
    const std::vector<BYTE> aReply = m_mapDrives[srb.SRB_Target].Reply(srb.CDBByte, srb.SRB_CDBLen);
    std::size_t nWritten = std::min<std::size_t>(aReply.size(), srb.SRB_BufLen);
    if (nLies & LIE_SHORT)
        nWritten = std::min<std::size_t>(nWritten, m_input.Byte());
    if (nWritten > 0)
        std::memcpy(srb.SRB_BufPointer, aReply.data(), nWritten);
    if (nLies & LIE_PATCHED)
        m_input.Patch(srb.SRB_BufPointer, srb.SRB_BufLen);
    if (nLies & LIE_SENSE)
        m_input.Patch(srb.SenseArea, sizeof srb.SenseArea);
    srb.SRB_Status = SS_COMP;
    if (nLies & LIE_STATUS) {
        srb.SRB_Status = m_input.Byte();
        srb.SRB_HaStat = m_input.Byte();
        srb.SRB_TargStat = m_input.Byte();
    }
    if (srb.SRB_Flags & SRB_POSTING)
        srb.SRB_PostProc(&srb);
}

} // namespace qv::fuzz
