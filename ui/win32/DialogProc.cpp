#include "ui/win32/DialogProc.h"

namespace qv::win32 {

HINSTANCE ResourceModule() {
    return ::GetModuleHandleA(nullptr);
}

INT_PTR CDialog::RunModal(int nTemplate, HWND hOwner) {
    return ::DialogBoxParamA(ResourceModule(), MAKEINTRESOURCEA(nTemplate), hOwner, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

// The object is known from WM_INITDIALOG on; the few messages that come before it (the font)
// take the default handling.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam) {
    if (nMessage == WM_INITDIALOG) {
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, lParam);
        reinterpret_cast<CDialog*>(lParam)->m_hWnd = hWnd;
    }
    auto* pDialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (!pDialog)
        return FALSE;
    INT_PTR result = FALSE;
    // USER32's frames know nothing of C++ exceptions: none may unwind through them. A message
    // whose handler failed is left to the default handling; a dialog that could not set itself
    // up ends at once rather than show half-made.
    try {
        result = pDialog->OnMessage(nMessage, wParam, lParam);
    } catch (...) {
        if (nMessage == WM_INITDIALOG)
            ::EndDialog(hWnd, -1);
        result = FALSE;
    }
    if (nMessage == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        pDialog->m_hWnd = nullptr;
    }
    return result;
}

} // namespace qv::win32
