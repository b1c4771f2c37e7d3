// The on-demand check and its progress window "Quick Update": the window opens with the check,
// its bar fills with time, and the check's worker ends it once the outcome has been shown.
#pragma once

#include "update/UpdateWorker.h"

#include <memory>
#include <mutex>

namespace qv {

class CProgressView {
public:
    virtual ~CProgressView() = default;

    virtual void SetProgressRange(int nHigh) = 0;
    virtual void SetProgressPos(int nPos) = 0;
    virtual void SetTickTimer(int nPeriodMs) = 0;
    virtual void KillTickTimer() = 0;
    // Called on the check's worker thread; the window ends itself on its own thread.
    virtual void EndProgress(int nResult) = 0;
};

class CQuickUpdateDlg {
public:
    CQuickUpdateDlg(CRegistryService& registry, RegKey hRoot, const UpdateServices& services);
    // A check still running when its owner goes is abandoned.
    ~CQuickUpdateDlg();
    CQuickUpdateDlg(const CQuickUpdateDlg&) = delete;
    CQuickUpdateDlg& operator=(const CQuickUpdateDlg&) = delete;

    // A check of this object is running: its window was closed with Escape and its outcome is
    // still to come. A second check is not started meanwhile. An abandoned check is not one.
    bool IsChecking() const { return m_thread.IsRunning(); }
    const std::string& Host() const { return m_services.config.server.strHost; }

    // The window has opened: the bar starts and so does the check.
    void OnInitDialog(CProgressView& view);
    void OnTimer(CProgressView& view);
    // The close box or Alt+F4: the check is abandoned, so nothing of it appears later, and let
    // go, so that the next press starts a check of its own at once, even while a call of the
    // abandoned one still blocks. Escape closes the window without this; its check goes on and
    // shows its outcome.
    void OnCloseRequest();
    // However the window closed; a later end from the worker finds it gone.
    void OnWindowClosed();

private:
    // The bar's step: its position, and the timer of the next step.
    void ShowStep(CProgressView& view);

    // The window as the worker of one check reaches it, shared with that worker, which may outlive
    // this object. Each check has a slot of its own, so that an abandoned one never reaches the
    // window of the next.
    struct WindowSlot {
        std::mutex mutex;
        CProgressView* pView = nullptr;
    };

    CRegistryService& m_registry;
    RegKey m_hRoot;
    UpdateServices m_services;
    // The time the bar shows, in ms.
    int m_nElapsedMs = 0;
    std::shared_ptr<WindowSlot> m_pWindow;
    CCheckThread m_thread;
};

} // namespace qv
