#include "update/QuickUpdateDlg.h"

namespace qv {
namespace {

// The bar measures time, not the download: it fills over a minute in steps and then stands full
// until the check ends.
constexpr int PROGRESS_RANGE = 1024;
constexpr int PROGRESS_STEP_MS = 200;
constexpr int PROGRESS_FULL_MS = 60000;

} // namespace

CQuickUpdateDlg::CQuickUpdateDlg(CRegistryService& registry, RegKey hRoot,
                                 const UpdateServices& services)
    : m_registry(registry), m_hRoot(hRoot), m_services(services) {}

CQuickUpdateDlg::~CQuickUpdateDlg() {
    m_thread.Abandon();
}

void CQuickUpdateDlg::OnInitDialog(CProgressView& view) {
    view.SetProgressRange(PROGRESS_RANGE);
    m_nElapsedMs = PROGRESS_STEP_MS; // opening counts as the first step
    ShowStep(view);
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

// The timer, killed first, is not set again once the bar is full.
void CQuickUpdateDlg::OnTimer(CProgressView& view) {
    view.KillTickTimer();
    if (m_nElapsedMs >= PROGRESS_FULL_MS)
        return;
    m_nElapsedMs += PROGRESS_STEP_MS;
    ShowStep(view);
}

void CQuickUpdateDlg::ShowStep(CProgressView& view) {
    view.SetTickTimer(PROGRESS_STEP_MS);
    view.SetProgressPos(m_nElapsedMs * PROGRESS_RANGE / PROGRESS_FULL_MS);
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
