// An ASPI manager that answers from fuzz bytes: whether the library loads, its support
// information, the adapter inquiry and disk information, and every SCSI request, which it
// refuses, completes before the send returns, or holds to complete on a later call, at the end
// of a step, or once the device that sent it has gone. It posts every request it accepted
// exactly once, as a manager does, and all on the caller's thread, so that a run depends on its
// input alone.
#pragma once

#include "fuzz/FuzzInput.h"
#include "fuzz/HonestDrive.h"
#include "platform/AspiLayout.h"
#include "platform/AspiService.h"

#include <map>
#include <vector>

namespace qv::fuzz {

class CHostileAspi : public CAspiService {
public:
    explicit CHostileAspi(CFuzzInput& input) : m_input(input) {}

    bool Load() override;
    bool FindEntryPoints() override;
    void Unload() override;
    DWORD GetASPI32SupportInfo() override;
    DWORD SendASPI32Command(void* pSrb) override;

    // Completes the requests held, and those their completions send, until none is left.
    void Drain();

private:
    BYTE AdapterInquiry(SRB_HAInquiry& srb);
    BYTE DiskInfo(SRB_GetDiskInfo& srb);
    DWORD ExecScsi(SRB_ExecSCSICmd& srb);
    // Completes as many of the held requests as the input says, in the order it says.
    void CompleteSome();
    void CompleteOne();
    void Complete(SRB_ExecSCSICmd& srb);

    CFuzzInput& m_input;
    bool m_bLoaded = false;
    std::map<BYTE, CHonestDrive> m_mapDrives; // by target id
    std::vector<SRB_ExecSCSICmd*> m_apHeld;
};

} // namespace qv::fuzz
