// One drive of a simulated machine over a real transport of the program's: pass-through on the
// NT family, ASPI on Windows 95/98, each answered on threads of its own.
#pragma once

#include "device/AspiTransport.h"
#include "device/CDRom.h"
#include "device/PassThroughTransport.h"
#include "tests/support/AspiMachine.h"

#include <gtest/gtest.h>

#include <memory>

namespace qv::test {

class CSimDrive {
public:
    explicit CSimDrive(sim::SimCdromConfig cdrom, bool bAspi = false)
        : m_sim(bAspi ? AspiMachine({AspiCdrom("E:\\", 0, 0, std::move(cdrom))})
                      : NtMachine({Cdrom("E:\\", std::move(cdrom))})) {
        if (bAspi) {
            EXPECT_TRUE(CAspiTransport::LoadAspi(m_sim.Machine().Aspi()));
            m_pTransport = std::make_unique<CAspiTransport>(m_sim.Machine().Aspi());
            m_pTransport->FindDrives({"E:"});
        } else {
            m_pTransport = std::make_unique<CPassThroughTransport>(m_sim.Machine());
        }
        m_pDrive = std::make_unique<CCDRom>(m_sim.Platform(), "E:\\", m_pTransport.get());
    }
    ~CSimDrive() {
        m_pDrive.reset();
        EXPECT_TRUE(m_sim.Machine().Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
    }

    // Until every command sent has been answered and its completion handled.
    void Settle() {
        ASSERT_TRUE(m_sim.Machine().Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
        ASSERT_TRUE(m_pTransport->WaitIdle(THREAD_WAIT_LIMIT));
        ASSERT_TRUE(m_sim.Machine().Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
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
    // The speed in x that each set-speed command asked for; 0 for the maximum.
    std::vector<int> RequestedSpeeds() {
        std::vector<int> aSpeeds;
        for (const auto& aCdb : Sim().Commands())
            if (aCdb[0] == SCSIOP_SET_CD_SPEED) {
                const int nRate = ReadBigEndian16(&aCdb[2]);
                aSpeeds.push_back(nRate == SET_SPEED_MAXIMUM ? 0 : nRate / KBPS_PER_X_REQUESTED);
            }
        return aSpeeds;
    }

    CSimFixture m_sim;
    std::unique_ptr<CTransport> m_pTransport;
    std::unique_ptr<CCDRom> m_pDrive;
};

} // namespace qv::test
