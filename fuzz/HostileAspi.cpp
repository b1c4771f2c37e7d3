#include "fuzz/HostileAspi.h"

#include <algorithm>
#include <cstddef>

namespace qv::fuzz {
namespace {

// What the send of a SCSI request does, one bit each.
enum : BYTE {
    MODE_COMPLETES_AT_ONCE = 0x01,
    MODE_REFUSES = 0x02, // returns a status of the input's, whether or not it completed
};

// What the manager answers of the other blocks lies behind their common header, within the
// shortest of them.
constexpr std::size_t ANSWER_FIRST = offsetof(SRB_HAInquiry, HA_Count);
constexpr std::size_t ANSWER_END = sizeof(SRB_HAInquiry);

CHostileAspi* s_pPosting = nullptr;

} // namespace

CHostileAspi::CHostileAspi(CFuzzInput& input, sim::CSimAspiManager& manager)
    : m_input(input), m_manager(manager) {
    m_manager.Hold();
    s_pPosting = this;
}

CHostileAspi::~CHostileAspi() {
    s_pPosting = nullptr;
}

DWORD CHostileAspi::GetASPI32SupportInfo() {
    CompleteSome();
    const BYTE nLies = m_input.Byte();
    return nLies & LIE_STATUS ? m_input.Value<DWORD>() : m_manager.GetASPI32SupportInfo();
}

DWORD CHostileAspi::SendASPI32Command(void* pSrb) {
    CompleteSome();
    auto* pBlock = static_cast<BYTE*>(pSrb);
    if (pBlock && pBlock[0] == SC_EXEC_SCSI_CMD)
        return ExecScsi(*static_cast<SRB_ExecSCSICmd*>(pSrb));
    const BYTE nLies = m_input.Byte();
    DWORD nStatus = m_manager.SendASPI32Command(pSrb);
    if (!pBlock)
        return nStatus;
    if (nLies & LIE_PATCHED)
        m_input.Patch(pBlock + ANSWER_FIRST, ANSWER_END - ANSWER_FIRST);
    if (nLies & LIE_STATUS)
        nStatus = pBlock[offsetof(SRB_HAInquiry, SRB_Status)] = m_input.Byte();
    return nStatus;
}

DWORD CHostileAspi::ExecScsi(SRB_ExecSCSICmd& srb) {
    const BYTE nMode = m_input.Byte();
    // A refusal of SS_PENDING would leave a request no one ever posts: it is held instead.
    const BYTE nRefusal = nMode & MODE_REFUSES ? m_input.Byte() : SS_PENDING;
    if (!(nMode & MODE_COMPLETES_AT_ONCE) && nRefusal != SS_PENDING)
        return srb.SRB_Status = nRefusal;
    const ASPI_POST_PROC post = srb.SRB_PostProc;
    if (srb.SRB_Flags & SRB_POSTING && post) {
        m_mapPosts[&srb] = post;
        srb.SRB_PostProc = &CHostileAspi::Posted;
    }
    const DWORD nStatus = m_manager.SendASPI32Command(&srb);
    if (nStatus != SS_PENDING) {
        m_mapPosts.erase(&srb);
        srb.SRB_PostProc = post;
        return nStatus;
    }
    // The block is its sender's again once posted, perhaps freed already.
    if (nMode & MODE_COMPLETES_AT_ONCE)
        m_manager.CompleteWaiting(m_manager.WaitingCount() - 1);
    return nRefusal;
}

void CHostileAspi::CompleteSome() {
    for (int nCount = m_input.Byte(); nCount > 0 && m_manager.WaitingCount() > 0; --nCount)
        CompleteOne();
}

void CHostileAspi::Drain() {
    while (m_manager.WaitingCount() > 0)
        CompleteOne();
}

void CHostileAspi::CompleteOne() {
    m_manager.CompleteWaiting(m_input.Byte() % m_manager.WaitingCount());
}

// The manager ran the command on its drive; the reply, its sense data and its statuses reach the
// sender as the input changes them. A short reply leaves the rest of the buffer as the sender
// handed it over, zeroed.
void CHostileAspi::Posted(SRB_ExecSCSICmd* pSrb) {
    CHostileAspi& aspi = *s_pPosting;
    SRB_ExecSCSICmd& srb = *pSrb;
    srb.SRB_PostProc = aspi.m_mapPosts.extract(pSrb).mapped();
    CFuzzInput& input = aspi.m_input;
    const BYTE nLies = input.Byte();
    if (nLies & LIE_SHORT && srb.SRB_BufPointer)
        std::fill(srb.SRB_BufPointer + std::min<DWORD>(srb.SRB_BufLen, input.Byte()),
                  srb.SRB_BufPointer + srb.SRB_BufLen, BYTE{0});
    if (nLies & LIE_PATCHED)
        input.Patch(srb.SRB_BufPointer, srb.SRB_BufLen);
    if (nLies & LIE_SENSE)
        input.Patch(srb.SenseArea, sizeof srb.SenseArea);
    if (nLies & LIE_STATUS) {
        srb.SRB_Status = input.Byte();
        srb.SRB_HaStat = input.Byte();
        srb.SRB_TargStat = input.Byte();
    }
    srb.SRB_PostProc(pSrb);
}

} // namespace qv::fuzz
