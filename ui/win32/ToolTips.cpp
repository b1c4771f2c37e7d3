#include "ui/win32/ToolTips.h"

#include "platform/win32/Win32Dialog.h"
#include "platform/win32/Win32Text.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace qv::win32 {
namespace {

int LoadText(UINT nId, char* pszText, int nLength) {
    return ::LoadStringA(ResourceModule(), nId, pszText, nLength);
}
int LoadText(UINT nId, wchar_t* pszText, int nLength) {
    return ::LoadStringW(ResourceModule(), nId, pszText, nLength);
}

// The string resource numbered like the control; empty when there is none.
std::string ResourceText(int nControl) {
    char szText[256] = {};
    if (nControl <= 0)
        return {};
    const int nLength =
        LoadText(static_cast<UINT>(nControl), szText, static_cast<int>(std::size(szText)));
    return std::string(szText, static_cast<std::size_t>(std::max(nLength, 0)));
}

// A static that notifies of clicks, like a link, takes the mouse as any other control does.
bool IsLabel(HWND hControl) {
    char szClass[16] = {};
    ::GetClassNameA(hControl, szClass, static_cast<int>(std::size(szClass)));
    return ::lstrcmpiA(szClass, "Static") == 0 &&
           (::GetWindowLongA(hControl, GWL_STYLE) & SS_NOTIFY) == 0;
}

// A tool registered as a window is known by that window; any other by its control identifier.
template <class DispInfo> UINT ToolControl(const DispInfo& info) {
    return static_cast<UINT>(
        (info.uFlags & TTF_IDISHWND)
            ? static_cast<UINT_PTR>(::GetDlgCtrlID(reinterpret_cast<HWND>(info.hdr.idFrom)))
            : info.hdr.idFrom);
}

// The tooltip copies the text before the notification returns; until then it lives here, as the
// record's own 80 characters could cut a long one short.
void SetText(NMTTDISPINFOA& info, const std::string& strText) {
    thread_local std::string s_strText;
    s_strText = strText;
    info.lpszText = s_strText.data();
}
void SetText(NMTTDISPINFOW& info, const std::string& strText) {
    thread_local std::wstring s_strText;
    s_strText = WidenAnsi(strText);
    info.lpszText = s_strText.data();
}

template <class DispInfo> void FillToolTip(DispInfo& info, const ToolTipTexts& textOf) {
    const UINT nId = ToolControl(info);
    SetText(info, nId != 0 ? textOf(static_cast<int>(nId)) : std::string());
}

template <class InfoTip> void FillInfoTip(InfoTip& tip) {
    if (tip.pszText && tip.cchTextMax > 0)
        LoadText(static_cast<UINT>(tip.iItem), tip.pszText, tip.cchTextMax);
}

} // namespace

void CreateToolTips(HWND hDialog) {
    CreateToolTips(hDialog, ResourceText);
}

void CreateToolTips(HWND hDialog, const ToolTipTexts& textOf) {
    const HWND hToolTips = ::CreateWindowExA(
        WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hDialog, nullptr, ResourceModule(), nullptr);
    if (!hToolTips)
        return;
    for (HWND hChild = ::GetWindow(hDialog, GW_CHILD); hChild;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        const UINT nId = static_cast<UINT>(::GetDlgCtrlID(hChild));
        if (nId == 0 || textOf(static_cast<int>(nId)).empty())
            continue;
        TTTOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = hDialog;
        tool.lpszText = LPSTR_TEXTCALLBACKA;
        if (IsLabel(hChild)) {
            tool.uFlags = TTF_SUBCLASS;
            tool.uId = nId;
            ::GetWindowRect(hChild, &tool.rect);
            ::MapWindowPoints(nullptr, hDialog, reinterpret_cast<POINT*>(&tool.rect), 2);
        } else {
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.uId = reinterpret_cast<UINT_PTR>(hChild);
        }
        ::SendMessageA(hToolTips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

bool AnswerToolTip(LPARAM lParam) {
    switch (reinterpret_cast<NMHDR*>(lParam)->code) {
    case TBN_GETINFOTIPA:
        FillInfoTip(*reinterpret_cast<NMTBGETINFOTIPA*>(lParam));
        return true;
    case TBN_GETINFOTIPW:
        FillInfoTip(*reinterpret_cast<NMTBGETINFOTIPW*>(lParam));
        return true;
    default:
        return AnswerToolTip(lParam, ResourceText);
    }
}

bool AnswerToolTip(LPARAM lParam, const ToolTipTexts& textOf) {
    switch (reinterpret_cast<NMHDR*>(lParam)->code) {
    case TTN_GETDISPINFOA:
        FillToolTip(*reinterpret_cast<NMTTDISPINFOA*>(lParam), textOf);
        return true;
    case TTN_GETDISPINFOW:
        FillToolTip(*reinterpret_cast<NMTTDISPINFOW*>(lParam), textOf);
        return true;
    default:
        return false;
    }
}

} // namespace qv::win32
