#include "update/UpdateWorker.h"

#include "app/Texts.h"

#include <utility>

namespace qv {

std::optional<int> RunManualCheck(CUpdateCheck& check, CUpdateView& view) {
    const int nResult = check.CheckForUpdate();
    if (check.IsAbandoned())
        return std::nullopt;
    if (nResult == UPDATE_FAILED)
        view.ShowMessage(UPDATE_FAILED_TEXT);
    else if (nResult == UPDATE_NOTHING_NEWER)
        view.ShowMessage(UPDATE_NOTHING_NEWER_TEXT);
    else
        view.RunNewVersionDialog(check.Body());
    check.ReleaseBody();
    return nResult;
}

void RunAutomaticCheck(CUpdateCheck& check, CUpdateView& view) {
    if (check.CheckForUpdate() == UPDATE_SHOW_TEXT)
        view.RunNewVersionDialog(check.Body());
    check.ReleaseBody();
}

CCheckThread::~CCheckThread() {
    Release();
}

void CCheckThread::Start(CRegistryService& registry, RegKey hRoot, const UpdateServices& services,
                         std::function<void(CUpdateCheck&)> body) {
    Release();
    m_pShared = std::make_shared<Shared>(registry, hRoot, services);
    m_thread = std::thread([pShared = m_pShared, body = std::move(body)] {
        try {
            body(pShared->check);
        } catch (...) {
            // A worker that fails shows nothing; an on-demand window stays until its user closes
            // it.
        }
        std::lock_guard lock(pShared->lock);
        pShared->bRunning = false;
        pShared->cvEnded.notify_all();
    });
}

bool CCheckThread::IsRunning() const {
    if (!m_pShared)
        return false;
    std::lock_guard lock(m_pShared->lock);
    return m_pShared->bRunning;
}

bool CCheckThread::WaitEnded(std::chrono::milliseconds nLimit) {
    if (!m_pShared)
        return true;
    {
        std::unique_lock lock(m_pShared->lock);
        if (!m_pShared->cvEnded.wait_for(lock, nLimit, [this] { return !m_pShared->bRunning; }))
            return false;
    }
    Release();
    return true;
}

void CCheckThread::Abandon() {
    if (m_pShared)
        m_pShared->check.Abandon();
}

void CCheckThread::Release() {
    if (m_thread.joinable()) {
        if (IsRunning())
            m_thread.detach();
        else
            m_thread.join();
    }
    m_pShared.reset();
}

} // namespace qv
