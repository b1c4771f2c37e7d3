#include "platform/win32/Win32Dialog.h"

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
        result = pDialog->Dispatch(nMessage, wParam, lParam);
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

INT_PTR CDialog::Dispatch(UINT nMessage, WPARAM wParam, LPARAM lParam) {
    switch (nMessage) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(lParam);
    case WM_TIMER:
        return OnTimer(wParam);
    case WM_HSCROLL:
        return OnHScroll(reinterpret_cast<HWND>(lParam));
    case WM_HELP:
        return OnHelp();
    case WM_SYSCOMMAND:
        return OnSysCommand(static_cast<UINT>(wParam & 0xFFF0));
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(
            OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_CLOSE:
        return OnClose();
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return OnOtherMessage(nMessage, wParam, lParam);
    }
}

} // namespace qv::win32
