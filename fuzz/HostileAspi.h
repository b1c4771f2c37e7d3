// The simulated ASPI manager with its answers changed by fuzz bytes: whether the library loads, its
// support information, the adapter inquiry and disk information, and every SCSI request, which it
// refuses, completes before the send returns, or holds to complete on a later call, at the end of
// a step, or once the device that sent it has gone, with its status, sense data and reply bytes
// changed. The manager is held, and the requests it holds are completed on the caller's thread in
// the order the input says, so that a run depends on its input alone.
#pragma once

#include "fuzz/FuzzInput.h"
#include "sim/SimAspiManager.h"

#include <map>

namespace qv::fuzz {

class CHostileAspi : public CAspiService {
public:
    // One at a time: the requests it completes are posted through it.
    CHostileAspi(CFuzzInput& input, sim::CSimAspiManager& manager);
    ~CHostileAspi() override;

    bool Load() override { return !(m_input.Byte() & LIE_FAILS) && m_manager.Load(); }
    bool FindEntryPoints() override {
        return !(m_input.Byte() & LIE_FAILS) && m_manager.FindEntryPoints();
    }
    void Unload() override { m_manager.Unload(); }
    DWORD GetASPI32SupportInfo() override;
    DWORD SendASPI32Command(void* pSrb) override;

    // Completes the requests held, and those their completions send, until none is left.
    void Drain();

private:
    DWORD ExecScsi(SRB_ExecSCSICmd& srb);
    // Completes as many of the held requests as the input says, in the order it says.
    void CompleteSome();
    void CompleteOne();
    static void Posted(SRB_ExecSCSICmd* pSrb);

    CFuzzInput& m_input;
    sim::CSimAspiManager& m_manager;
    // The post routine of each request the manager holds, which it posts through Posted.
    std::map<SRB_ExecSCSICmd*, ASPI_POST_PROC> m_mapPosts;
};

} // namespace qv::fuzz
