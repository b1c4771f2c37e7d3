// One drive of a simulated machine over a real transport of the program's: pass-through on the
// NT family, ASPI on Windows 95/98, each answered on threads of its own.
#pragma once

#include "device/AspiTransport.h"
#include "device/CDRom.h"
#include "device/PassThroughTransport.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace qv::test {

// On ASPI the drive is target 3 of the second adapter, and the manager refuses the commands
// mapRefusals names with the return code given.
class CSimDrive {
public:
    explicit CSimDrive(sim::SimCdromConfig cdrom, bool bAspi = false,
                       std::map<int, int> mapRefusals = {})
        : m_sim([&] {
              if (!bAspi)
                  return NtMachine({Cdrom("E:\\", std::move(cdrom))});
              auto machine = AspiMachine({AspiCdrom("E:\\", 1, 3, std::move(cdrom))}, {0, 0});
              machine.aspi.mapRefusals = std::move(mapRefusals);
              return machine;
          }()) {
        if (bAspi) {
            EXPECT_TRUE(CAspiTransport::LoadAspi(Aspi()));
            m_pTransport = std::make_unique<CAspiTransport>(Aspi());
            m_pTransport->FindDrives({"E:"});
        } else {
            m_pTransport = std::make_unique<CPassThroughTransport>(m_sim.Machine());
        }
        m_pDrive = std::make_unique<CCDRom>(m_sim.Platform(), "E:\\", m_pTransport.get());
    }
    ~CSimDrive() {
        m_pDrive.reset();
        EXPECT_TRUE(Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
    }

    sim::CSimAspiManager& Aspi() { return m_sim.Machine().Aspi(); }
    // Until every command sent has been answered and its completion handled; a chain that fills the
    // drive's history, longer than any detection, fails at once instead of at the wait's limit.
    void Settle() {
        constexpr std::chrono::milliseconds NOW{0};
        ASSERT_TRUE(Eventually([&] {
            return Sim().Commands().size() == sim::SIM_HISTORY_LIMIT ||
                   (Aspi().WaitUntilDrained(NOW) && m_pTransport->WaitIdle(NOW) &&
                    Aspi().WaitUntilDrained(NOW));
        }));
        ASSERT_LT(Sim().Commands().size(), sim::SIM_HISTORY_LIMIT) << "a chain that never ends";
    }
    // Identified, with the commands and events of it forgotten.
    CCDRom& Identified() {
        m_pDrive->Identify();
        Settle();
        Sim().ClearCommands();
        m_sim.Events().Clear();
        return *m_pDrive;
    }
    sim::CSimMmcDrive& Sim() { return *m_sim.Machine().Drive('E'); }
    std::vector<int> RequestedSpeeds() {
        std::vector<int> aSpeeds;
        for (const auto& aCdb : Sim().Commands())
            if (aCdb[0] == SCSIOP_SET_CD_SPEED)
                aSpeeds.push_back(SpeedAsked(aCdb.data()));
        return aSpeeds;
    }

    CSimFixture m_sim;
    std::unique_ptr<CTransport> m_pTransport;
    std::unique_ptr<CCDRom> m_pDrive;
};

} // namespace qv::test
