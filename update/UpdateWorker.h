// The two ways a check runs: on demand, where every outcome is reported, and by itself at start,
// where only news is. Each runs on a thread of its own that nothing waits for.
#pragma once

#include "platform/Registry.h"
#include "update/UpdateCheck.h"
#include "update/UpdateView.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace qv {

// The on-demand check's outcome shown: the result to end the progress window with, or nullopt
// when the check was abandoned and shows nothing.
std::optional<int> RunManualCheck(CUpdateCheck& check, CUpdateView& view);
// The automatic check shows only a newer release, and nothing when it fails.
void RunAutomaticCheck(CUpdateCheck& check, CUpdateView& view);

// One check on a worker thread, over a check object of its own that the thread shares, so the
// thread may outlive its starter. Anything raised on the thread ends it silently.
class CCheckThread {
public:
    CCheckThread() = default;
    ~CCheckThread();
    CCheckThread(const CCheckThread&) = delete;
    CCheckThread& operator=(const CCheckThread&) = delete;

    // Releases the thread of an earlier check first, which must have ended.
    void Start(CRegistryService& registry, RegKey hRoot, const UpdateServices& services,
               std::function<void(CUpdateCheck&)> body);
    bool IsRunning() const;
    // The running check stores and shows nothing more.
    void Abandon();
    // Whether the thread has ended within nLimit, joined if so.
    bool WaitEnded(std::chrono::milliseconds nLimit);
    // Gives up the thread object and the check with it: joins a thread that has ended; one still
    // running (its new-version dialog open, or a call that its abandon could not break) goes on
    // alone and ends with the process. Never called on the thread itself.
    void Release();

private:
    struct Shared {
        Shared(CRegistryService& registry, RegKey hRoot, const UpdateServices& services)
            : check(registry, hRoot, services) {}
        CUpdateCheck check;
        std::mutex lock;
        std::condition_variable cvEnded;
        bool bRunning = true; // guarded by lock
    };

    std::shared_ptr<Shared> m_pShared;
    std::thread m_thread;
};

} // namespace qv
