// The update check's services for tests: a scripted server, a fake clock and a view that records
// what a check shows instead of showing it, safe to use from a worker thread.
#pragma once

#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedHttp.h"
#include "update/UpdateWorker.h"

#include <mutex>
#include <string>
#include <vector>

namespace qv::test {

class CRecordingUpdateView : public CUpdateView {
public:
    void ShowMessage(const char* pszText) override {
        std::lock_guard lock(m_mutex);
        m_aShown.push_back(std::string("message: ") + pszText);
    }
    void RunNewVersionDialog(const std::string& strText) override {
        std::lock_guard lock(m_mutex);
        m_aShown.push_back("new version: " + strText);
    }
    std::vector<std::string> Shown() const {
        std::lock_guard lock(m_mutex);
        return m_aShown;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_aShown;
};

struct CStandInUpdate {
    CScriptedHttp http;
    CFakeClock clock;
    CRecordingUpdateView view;
    UpdateServices services{http, clock, UpdateServer{"updates.velnor.example"}, view};
};

} // namespace qv::test
