// A dialog bound to a resource template. One dialog procedure serves every such dialog: it finds
// the object behind the window and hands each message to the handler of its kind, which a dialog
// overrides for the messages it takes.
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

    // Each handler returns whether it took the message; one it did not take gets the default
    // handling.
    // Whether the default handling gives the focus to the first control that takes it: false
    // when the dialog placed the focus itself or has ended.
    virtual bool OnInitDialog() { return true; }
    virtual bool OnCommand(int /*nId*/, int /*nCode*/) { return false; }
    virtual bool OnNotify(LPARAM /*lParam*/) { return false; }
    virtual bool OnTimer(UINT_PTR /*nTimer*/) { return false; }
    virtual bool OnHScroll(HWND /*hControl*/) { return false; }
    // F1.
    virtual bool OnHelp() { return false; }
    // A command of the window menu, without the system's own low bits; true refuses it.
    virtual bool OnSysCommand(UINT /*nCommand*/) { return false; }
    virtual bool OnPaint() { return false; }
    // The icon dragged for the minimised window; null for the default.
    virtual HICON OnQueryDragIcon() { return nullptr; }
    // The background of a static control, which hDC is set up for; null for the default colours.
    virtual HBRUSH OnColorStatic(HDC /*hDC*/, HWND /*hControl*/) { return nullptr; }
    // The close box or Alt+F4.
    virtual bool OnClose() { return false; }
    // The window is going; the default handling follows.
    virtual void OnDestroy() {}
    // Any other message: those of the program's own and those registered by name.
    virtual bool OnOtherMessage(UINT /*nMessage*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
        return false;
    }

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT nMessage, WPARAM wParam, LPARAM lParam);
};

// The program's own module, which holds every resource.
HINSTANCE ResourceModule();

} // namespace qv::win32
