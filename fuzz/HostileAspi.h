// The simulated ASPI manager with its answers changed by fuzz bytes. It is held, and the requests
// it holds are completed on the caller's thread in the order the input says, refused, completed
// before the send returns, or after their device has gone.
#pragma once

#include "fuzz/FuzzInput.h"
#include "sim/SimAspiManager.h"

#include <algorithm>
#include <cstddef>
#include <map>

namespace qv::fuzz {

class CHostileAspi : public CAspiService {
public:
    // One at a time: the requests it completes are posted through it.
    CHostileAspi(CFuzzInput& input, sim::CSimAspiManager& manager)
        : m_input(input), m_manager(manager) {
        m_manager.Hold();
        s_pPosting = this;
    }
    ~CHostileAspi() override { s_pPosting = nullptr; }

    bool Load() override { return !(m_input.Byte() & LIE_FAILS) && m_manager.Load(); }
    bool FindEntryPoints() override {
        return !(m_input.Byte() & LIE_FAILS) && m_manager.FindEntryPoints();
    }
    void Unload() override { m_manager.Unload(); }
    DWORD GetASPI32SupportInfo() override {
        CompleteSome();
        return m_input.Byte() & LIE_STATUS ? m_input.Value<DWORD>()
                                           : m_manager.GetASPI32SupportInfo();
    }
    // What the manager answers of the blocks other than SCSI requests lies behind their common
    // header, within the shortest of them.
    DWORD SendASPI32Command(void* pSrb) override {
        CompleteSome();
        auto* pBlock = static_cast<BYTE*>(pSrb);
        if (pBlock && pBlock[0] == SC_EXEC_SCSI_CMD)
            return ExecScsi(*static_cast<SRB_ExecSCSICmd*>(pSrb));
        const BYTE nLies = m_input.Byte();
        DWORD nStatus = m_manager.SendASPI32Command(pSrb);
        if (!pBlock)
            return nStatus;
        constexpr std::size_t ANSWER_FIRST = offsetof(SRB_HAInquiry, HA_Count);
        if (nLies & LIE_PATCHED)
            m_input.Patch(pBlock + ANSWER_FIRST, sizeof(SRB_HAInquiry) - ANSWER_FIRST);
        if (nLies & LIE_STATUS)
            nStatus = pBlock[offsetof(SRB_HAInquiry, SRB_Status)] = m_input.Byte();
        return nStatus;
    }

    // Completes the requests held, and those their completions send, until none is left.
    void Drain() {
        while (m_manager.WaitingCount() > 0)
            CompleteOne();
    }

private:
    // The input's mode bits: whether the send completes the request before it returns, and
    // whether it returns a status of the input's, completed or not.
    DWORD ExecScsi(SRB_ExecSCSICmd& srb) {
        const BYTE nMode = m_input.Byte();
        const bool bAtOnce = nMode & 0x01;
        // A refusal of SS_PENDING would leave a request no one ever posts: it is held instead.
        const BYTE nRefusal = nMode & 0x02 ? m_input.Byte() : SS_PENDING;
        if (!bAtOnce && nRefusal != SS_PENDING)
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
        if (bAtOnce)
            m_manager.CompleteWaiting(m_manager.WaitingCount() - 1);
        return nRefusal;
    }
    void CompleteSome() {
        for (int nCount = m_input.Byte(); nCount > 0 && m_manager.WaitingCount() > 0; --nCount)
            CompleteOne();
    }
    void CompleteOne() { m_manager.CompleteWaiting(m_input.Byte() % m_manager.WaitingCount()); }

    // The manager ran the command on its drive; the reply, its sense data and its statuses reach
    // the sender as the input changes them. A short reply leaves the rest of the buffer as the
    // sender handed it over, zeroed.
    static void Posted(SRB_ExecSCSICmd* pSrb) {
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
        if (nLies & LIE_STATUS)
            for (BYTE* pStatus : {&srb.SRB_Status, &srb.SRB_HaStat, &srb.SRB_TargStat})
                *pStatus = input.Byte();
        srb.SRB_PostProc(pSrb);
    }

    static inline CHostileAspi* s_pPosting = nullptr;
    CFuzzInput& m_input;
    sim::CSimAspiManager& m_manager;
    // The post routine of each request the manager holds, which it posts through Posted.
    std::map<SRB_ExecSCSICmd*, ASPI_POST_PROC> m_mapPosts;
};

} // namespace qv::fuzz
