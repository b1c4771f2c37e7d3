#include "ui/win32/ToolBarControl.h"

#include "platform/win32/Win32Dialog.h"
#include "res/resource.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qv::win32 {
namespace {

constexpr int TOOLBAR_BAR_ID = 0xE800;
// Where the bar lies in the dialog's client area, in pixels at 96 DPI: inside the frame that the
// template draws for it.
constexpr RECT TOOLBAR_RECT_96{11, 130, 389, 199};
constexpr int BASE_DPI = 96;
constexpr int LABEL_LENGTH = 64;

// Client pixels of the dialog at its DPI for pixels at 96 DPI: the manifest declares the program
// aware of the system's DPI, so Windows scales the dialog's text and units but not what is placed
// in pixels.
int ScaleToDialog(HWND hDialog, int nPixels) {
    const HDC hDC = ::GetDC(hDialog);
    const int nDpi = hDC ? ::GetDeviceCaps(hDC, LOGPIXELSX) : BASE_DPI;
    if (hDC)
        ::ReleaseDC(hDialog, hDC);
    return ::MulDiv(nPixels, nDpi, BASE_DPI);
}

// The commands of the layout resource, in button order; empty when it is missing or malformed.
std::vector<int> ReadLayout() {
    const HINSTANCE hModule = ResourceModule();
    const HRSRC hInfo = ::FindResourceA(hModule, MAKEINTRESOURCEA(IDR_TOOLBAR),
                                        MAKEINTRESOURCEA(RT_TOOLBAR_LAYOUT));
    const HGLOBAL hData = hInfo ? ::LoadResource(hModule, hInfo) : nullptr;
    const auto* pWords = hData ? static_cast<const WORD*>(::LockResource(hData)) : nullptr;
    const DWORD nWords = hInfo ? ::SizeofResource(hModule, hInfo) / sizeof(WORD) : 0;
    // Version, button width, button height, count, then the commands.
    constexpr DWORD HEADER_WORDS = 4;
    if (!pWords || nWords < HEADER_WORDS || pWords[0] != TOOLBAR_LAYOUT_VERSION ||
        nWords < HEADER_WORDS + pWords[3])
        return {};
    return {pWords + HEADER_WORDS, pWords + HEADER_WORDS + pWords[3]};
}

// One list from a strip of nImages equal pictures, stretched to the dialog's DPI.
HIMAGELIST LoadImageStrip(HWND hDialog, int nBitmap, int nImages) {
    auto hStrip = static_cast<HBITMAP>(
        ::LoadImageA(ResourceModule(), MAKEINTRESOURCEA(nBitmap), IMAGE_BITMAP, 0, 0, 0));
    BITMAP info{};
    if (!hStrip || !::GetObjectA(hStrip, sizeof info, &info)) {
        if (hStrip)
            ::DeleteObject(hStrip);
        return nullptr;
    }
    const int cx = ScaleToDialog(hDialog, info.bmWidth / nImages);
    const int cy = ScaleToDialog(hDialog, info.bmHeight);
    if (cx * nImages != info.bmWidth || cy != info.bmHeight) {
        ::DeleteObject(hStrip);
        hStrip = static_cast<HBITMAP>(::LoadImageA(ResourceModule(), MAKEINTRESOURCEA(nBitmap),
                                                   IMAGE_BITMAP, cx * nImages, cy, 0));
    }
    const HIMAGELIST hList = ::ImageList_Create(cx, cy, ILC_COLOR24 | ILC_MASK, nImages, 1);
    if (hList && hStrip)
        ::ImageList_AddMasked(hList, hStrip, TOOLBAR_MASK_COLOR);
    if (hStrip)
        ::DeleteObject(hStrip);
    return hList;
}

// The text after the last "\n" of the label's string, or all of it (npos + 1 is 0).
std::string LoadLabel(int nCommand) {
    char szText[LABEL_LENGTH] = {};
    ::LoadStringA(ResourceModule(), static_cast<UINT>(nCommand + ID_BUTTON_LABEL_OFFSET), szText,
                  LABEL_LENGTH);
    const std::string_view strResource(szText);
    return std::string(strResource.substr(strResource.rfind('\n') + 1));
}

} // namespace

CToolBarControl::~CToolBarControl() {
    for (const HIMAGELIST hList : m_ahImages)
        if (hList)
            ::ImageList_Destroy(hList);
}

void CToolBarControl::Create(HWND hDialog) {
    const std::vector<int> aCommands = ReadLayout();
    if (aCommands.empty())
        return;
    m_hWnd = ::CreateWindowExA(
        0, TOOLBARCLASSNAMEA, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT | TBSTYLE_TOOLTIPS |
            CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
        0, 0, 0, 0, hDialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(TOOLBAR_BAR_ID)),
        ResourceModule(), nullptr);
    if (!m_hWnd)
        return;
    ::SendMessageA(m_hWnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    const int nImages = static_cast<int>(aCommands.size());
    m_ahImages = {LoadImageStrip(hDialog, IDB_TOOLBAR_NORMAL, nImages),
                  LoadImageStrip(hDialog, IDB_TOOLBAR_NORMAL, nImages),
                  LoadImageStrip(hDialog, IDB_TOOLBAR_HOT, nImages)};
    ::SendMessageA(m_hWnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_ahImages[0]));
    ::SendMessageA(m_hWnd, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(m_ahImages[1]));
    ::SendMessageA(m_hWnd, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(m_ahImages[2]));

    AddButtons(aCommands);
    MakeButtonsAlike();
    const RECT& rect = TOOLBAR_RECT_96;
    ::SetWindowPos(m_hWnd, nullptr, ScaleToDialog(hDialog, rect.left),
                   ScaleToDialog(hDialog, rect.top), ScaleToDialog(hDialog, rect.right - rect.left),
                   ScaleToDialog(hDialog, rect.bottom - rect.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

void CToolBarControl::AddButtons(const std::vector<int>& aCommands) {
    std::vector<std::string> aLabels;
    for (const int nCommand : aCommands)
        aLabels.push_back(LoadLabel(nCommand));
    std::vector<TBBUTTON> aButtons;
    for (std::size_t nButton = 0; nButton < aCommands.size(); ++nButton) {
        TBBUTTON button{};
        button.iBitmap = static_cast<int>(nButton);
        button.idCommand = aCommands[nButton];
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON;
        // The control keeps its own copy of a label handed over by pointer.
        button.iString =
            aLabels[nButton].empty() ? -1 : reinterpret_cast<INT_PTR>(aLabels[nButton].c_str());
        aButtons.push_back(button);
    }
    ::SendMessageA(m_hWnd, TB_ADDBUTTONSA, aButtons.size(),
                   reinterpret_cast<LPARAM>(aButtons.data()));
}

// One size for all buttons, that of the largest. A rectangle given right to left or bottom to top
// still spans its width and height.
void CToolBarControl::MakeButtonsAlike() {
    const int nButtons = static_cast<int>(::SendMessageA(m_hWnd, TB_BUTTONCOUNT, 0, 0));
    SIZE size{};
    for (int nButton = 0; nButton < nButtons; ++nButton) {
        RECT rect{};
        if (!::SendMessageA(m_hWnd, TB_GETITEMRECT, nButton, reinterpret_cast<LPARAM>(&rect)))
            continue;
        size.cx = std::max(size.cx, std::abs(rect.right - rect.left));
        size.cy = std::max(size.cy, std::abs(rect.bottom - rect.top));
    }
    if (size.cx > 0 && size.cy > 0)
        ::SendMessageA(m_hWnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(size.cx, size.cy));
}

void CToolBarControl::SetButtonState(int nCommand, bool bEnabled, bool bPressed) {
    ::SendMessageA(m_hWnd, TB_ENABLEBUTTON, nCommand, MAKELPARAM(bEnabled, 0));
    ::SendMessageA(m_hWnd, TB_CHECKBUTTON, nCommand, MAKELPARAM(bPressed, 0));
}

} // namespace qv::win32
