// The main dialog over a fake window and a simulated machine, with the application object built
// as the start-up routine builds it. Device events wait in the recorder as they would in the
// window's message queue until the test delivers them.
#pragma once

#include "app/Quorvex.h"
#include "device/CDRomList.h"
#include "device/Scsi.h"
#include "sim/MachineFile.h"
#include "tests/support/AppFixture.h"
#include "tests/support/FakeMainView.h"
#include "tests/support/SimFixture.h"
#include "ui/Commands.h"
#include "ui/QuorvexDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace qv::test {

class CDialogFixture : public ::testing::Test {
protected:
    CDialogFixture() { Use(sim::DefaultMachine()); }
    ~CDialogFixture() override { Use(std::nullopt); }

    // Starts over on another machine. The dialog goes first, then the application with its
    // drive lists, then the machine, whose manager's thread must not complete requests of
    // devices that are gone.
    void Use(std::optional<sim::SimMachineConfig> machine) {
        m_pDlg.reset();
        m_pApp.reset();
        if (m_sim) {
            EXPECT_TRUE(m_sim->Machine().Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
        }
        m_sim.reset();
        m_view = {};
        m_nDelivered = 0;
        if (!machine)
            return;
        m_sim.emplace(std::move(*machine));
    }

    void Create() {
        m_pApp = std::make_unique<CQuorvexApp>(m_sim->Platform(), m_runner, m_update.services);
        m_pDlg = std::make_unique<CQuorvexDlg>(*m_pApp, m_view);
    }
    void Start(bool bBootMode = false) {
        Create();
        m_pApp->m_bBootMode = bBootMode;
        EXPECT_TRUE(m_pDlg->OnInitDialog());
        Settle();
    }

    // Delivers every event posted and not yet delivered, in posting order or the reverse, and
    // those that the handlers cause in turn, until the drives are idle.
    void Settle(bool bInReverse = false) {
        for (;;) {
            CTransport* pTransport = m_pApp ? m_pApp->GetTransport() : nullptr;
            ASSERT_TRUE(m_sim->Machine().Aspi().WaitUntilDrained(THREAD_WAIT_LIMIT));
            ASSERT_TRUE(!pTransport || pTransport->WaitIdle(THREAD_WAIT_LIMIT));
            auto aEvents = m_sim->Events().Events();
            if (m_nDelivered == aEvents.size())
                return;
            if (bInReverse)
                std::reverse(aEvents.begin() + static_cast<long>(m_nDelivered), aEvents.end());
            while (m_nDelivered < aEvents.size())
                Deliver(aEvents[m_nDelivered++]);
        }
    }
    void Deliver(const PostedEvent& event) {
        m_pDlg->OnDeviceEvent(static_cast<std::uintptr_t>(event.nStatus) << 16 |
                                  static_cast<std::uintptr_t>(event.nEvent),
                              event.lDevice);
    }

    void Choose(int nEntry) {
        m_view.m_nSelectedEntry = nEntry;
        m_pDlg->OnDriveChange();
        Settle();
    }
    void MoveSlider(int nPos) {
        m_view.m_nSliderPos = nPos;
        m_pDlg->OnSliderMoved();
    }
    void Command(int nCommand) {
        EXPECT_TRUE(m_pDlg->OnCommand(nCommand));
        Settle();
    }
    void ApplySpeed(int nEntry, int nSpeed) {
        Choose(nEntry);
        MoveSlider(nSpeed);
        Command(ID_APPLY);
    }

    CCDRom& Drive(int nDrive) { return *m_pApp->GetDriveList()->GetAt(nDrive); }
    sim::CSimMmcDrive& SimDrive(char cLetter) { return *m_sim->Machine().Drive(cLetter); }
    void ForgetCommands() {
        for (const char cLetter : {'D', 'E', 'G', 'H'})
            if (auto* pDrive = m_sim->Machine().Drive(cLetter))
                pDrive->ClearCommands();
    }
    // The rates of the SET CD SPEED blocks a drive received since ForgetCommands.
    std::vector<int> SetSpeedRates(char cLetter) {
        std::vector<int> aRates;
        for (const auto& aCdb : SimDrive(cLetter).Commands())
            if (aCdb[0] == SCSIOP_SET_CD_SPEED)
                aRates.push_back(ReadBigEndian16(&aCdb[2]));
        return aRates;
    }
    std::optional<StoredValue> AppValue(const char* pszName) {
        return m_sim->Registry().Get(REGKEY_CURRENT_USER, SETTINGS_KEY, pszName);
    }
    // What a Save stored for a drive, so that a later start or Restore finds it.
    void PutSavedSpeed(const std::string& strDrive, DWORD dwSpeed) {
        m_sim->Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, strDrive + " Model",
                              StoredText("QRVX;CD-ROM;1.00;"));
        m_sim->Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, strDrive + " Speed",
                              StoredDword(dwSpeed));
    }

    std::optional<CSimFixture> m_sim;
    CStandInDialog m_runner;
    CStandInUpdate m_update;
    CFakeMainView m_view;
    std::unique_ptr<CQuorvexApp> m_pApp;
    std::unique_ptr<CQuorvexDlg> m_pDlg;
    std::size_t m_nDelivered = 0;
};

inline sim::SimDriveConfig CdromWith(const char* pszRoot, void (*vary)(sim::SimCdromConfig&)) {
    sim::SimCdromConfig cdrom;
    vary(cdrom);
    return Cdrom(pszRoot, std::move(cdrom));
}

} // namespace qv::test
