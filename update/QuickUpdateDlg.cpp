#include "update/QuickUpdateDlg.h"

namespace qv {

CQuickUpdateDlg::CQuickUpdateDlg(CRegistryService& registry, RegKey hRoot,
                                 const UpdateServices& services)
    : m_registry(registry), m_hRoot(hRoot), m_services(services) {}

CQuickUpdateDlg::~CQuickUpdateDlg() {
    m_thread.Abandon();
}

void CQuickUpdateDlg::OnInitDialog(CProgressView& view) {
    m_progress = CUpdateProgress();
    view.SetProgressRange(CUpdateProgress::RANGE);
    view.SetTickTimer(CUpdateProgress::TICK_MS);
    view.SetProgressPos(m_progress.Position());
    m_pWindow = std::make_shared<WindowSlot>();
    m_pWindow->pView = &view;
    m_thread.Start(m_registry, m_hRoot, m_services,
                   [pWindow = m_pWindow, &outcome = m_services.view](CUpdateCheck& check) {
                       const auto nResult = RunManualCheck(check, outcome);
                       if (!nResult)
                           return;
                       std::lock_guard lock(pWindow->mutex);
                       if (pWindow->pView)
                           pWindow->pView->EndProgress(*nResult);
                   });
}

void CQuickUpdateDlg::OnTimer(CProgressView& view) {
    view.KillTickTimer();
    if (!m_progress.Tick())
        return;
    view.SetTickTimer(CUpdateProgress::TICK_MS);
    view.SetProgressPos(m_progress.Position());
}

void CQuickUpdateDlg::OnCloseRequest() {
    m_thread.Abandon();
    m_thread.Release();
}

void CQuickUpdateDlg::OnWindowClosed() {
    if (!m_pWindow)
        return;
    std::lock_guard lock(m_pWindow->mutex);
    m_pWindow->pView = nullptr;
}

} // namespace qv
