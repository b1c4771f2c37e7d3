// Texts of the seam, which are in the ANSI code page, handed to the wide-character calls.
#pragma once

#include "platform/win32/Win32.h"

#include <string>

namespace qv::win32 {

// Empty when the text cannot be converted.
inline std::wstring WidenAnsi(const std::string& strText) {
    if (strText.empty())
        return {};
    const auto nText = static_cast<int>(strText.size());
    const int nWide = ::MultiByteToWideChar(CP_ACP, 0, strText.data(), nText, nullptr, 0);
    if (nWide <= 0)
        return {};
    std::wstring strWide(static_cast<std::size_t>(nWide), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, strText.data(), nText, strWide.data(), nWide);
    return strWide;
}

} // namespace qv::win32
