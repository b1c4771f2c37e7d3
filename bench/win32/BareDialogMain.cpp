// qv_bench_bare_dialog.exe: the main window's template shown with nothing behind it, so that the
// start-up benchmark can tell what the program adds to what any dialog of that template costs.
#include "res/resource.h"

#include <windows.h>

#include <commctrl.h>

namespace {

// Escape and the close box both end the dialog; every other message is the system's.
INT_PTR CALLBACK BareDialogProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM) {
    switch (nMessage) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            ::EndDialog(hWnd, 0);
        return TRUE;
    case WM_CLOSE:
        ::EndDialog(hWnd, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    // The template holds a trackbar, whose class exists only once the common controls are loaded.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);
    return static_cast<int>(::DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_QUORVEX_DIALOG),
                                              nullptr, BareDialogProc, 0));
}
