// The application object on a simulated machine, with a stand-in for the main dialog that only
// records what the start-up routine handed it.
#pragma once

#include "app/Quorvex.h"
#include "app/Texts.h"
#include "tests/support/SimFixture.h"
#include "tests/support/StandInUpdate.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

class CStandInDialog : public CMainDialogRunner {
public:
    void RunModal(CQuorvexApp& app) override {
        ++m_nRuns;
        m_bBootMode = app.m_bBootMode;
    }
    int m_nRuns = 0;
    bool m_bBootMode = false; // as the dialog found it
};

// The Run entry's data for the executable at strPath: quoted, so that a path with blanks runs
// whole, in UTF-16 with its terminating zero.
inline StoredValue RunCommandFor(std::u16string_view strPath) {
    return StoredWideText(u"\"" + std::u16string(strPath) + u"\" /boot");
}

class CAppFixture : public ::testing::Test {
protected:
    explicit CAppFixture(sim::SimMachineConfig machine = NtMachine({}))
        : m_sim(std::move(machine)) {}

    CQuorvexApp& Construct(std::vector<const char*> aArgs = {}) {
        aArgs.insert(aArgs.begin(), "Quorvex.exe");
        m_pApp.reset();
        m_pApp = std::make_unique<CQuorvexApp>(
            m_sim.Platform(), m_dialog, m_update.services,
            CQuorvexCmdLine(static_cast<int>(aArgs.size()), aArgs.data()));
        return *m_pApp;
    }
    CMemoryRegistry& Registry() { return m_sim.Registry(); }
    std::optional<StoredValue> AppValue(RegKey hRoot, const std::string& strName) {
        return m_sim.Registry().Get(hRoot, SETTINGS_KEY, strName);
    }
    std::optional<StoredValue> RunEntry(RegKey hRoot) {
        return m_sim.Registry().Get(hRoot, APP_RUN_KEY, APP_NAME);
    }

    CSimFixture m_sim;
    CStandInDialog m_dialog;
    CStandInUpdate m_update;
    std::unique_ptr<CQuorvexApp> m_pApp;
};

} // namespace qv::test
