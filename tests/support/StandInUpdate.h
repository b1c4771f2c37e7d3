// The update check's services for tests: a scripted server, a clock that says what the test sets,
// OpenSSL in place of the system's cryptography with the tests' own key, and a view that records
// what a check shows
// instead of showing it, safe to use from a worker thread.
#pragma once

#include "platform/Clock.h"
#include "tests/support/OpenSslSignatures.h"
#include "tests/support/ScriptedHttp.h"
#include "update/UpdateWorker.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace qv::test {

// A clock that says what the test sets. Its ticks may be read on a worker while the test thread
// moves them on.
class CFakeClock : public CClockService {
public:
    int UtcDayOfYear() override { return m_nUtcDay; }
    CalendarDate LocalToday() override { return m_today; }
    std::uint64_t TickMs() override { return m_nTickMs; }

    int m_nUtcDay = 0;
    CalendarDate m_today{2027, 3, 1};
    std::atomic<std::uint64_t> m_nTickMs{0};
};

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
    COpenSslSignatures signatures;
    CRecordingUpdateView view;
    // Released on 1 June 2026, asking updates.velnor.example:8080 and trusting the tests' key;
    // the clock's today is later.
    UpdateServices services{http, clock, signatures,
                            UpdateConfig{.server = {"updates.velnor.example", 8080},
                                         .publicKey = TestKey().PublicKey(),
                                         .releaseDate = {2026, 6, 1}},
                            view};

    // strText, signed with the tests' key, as a 200 response that tells its length truly.
    void ServeSigned(const std::string& strText) { http.Serve(TestKey().Signed(strText)); }
};

} // namespace qv::test
