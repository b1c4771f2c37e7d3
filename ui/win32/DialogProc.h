// A dialog bound to a resource template. One dialog procedure serves every such dialog: it finds
// the object behind the window and hands each message to it.
#pragma once

#include "platform/win32/Win32.h"

namespace qv::win32 {

class CDialog {
public:
    virtual ~CDialog() = default;

    // Runs the template modally; the result the dialog ended with, or -1 when it could not be
    // created.
    INT_PTR RunModal(int nTemplate, HWND hOwner);
    HWND Handle() const { return m_hWnd; }

protected:
    CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // One message, answered as a dialog procedure answers: FALSE leaves it to the default
    // handling.
    virtual INT_PTR OnMessage(UINT nMessage, WPARAM wParam, LPARAM lParam) = 0;

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam);
};

// The program's own module, which holds every resource.
HINSTANCE ResourceModule();

} // namespace qv::win32
