// Fixed-width names for the byte layouts the drives and the OS exchange. They live in namespace
// qv so that the win32/ sources, which also see <windows.h>, keep both sets apart.
#pragma once

#include <cstdint>

namespace qv {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;

// An OS handle carried as an integer; the Win32 side converts it to and from HANDLE.
using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle INVALID_DEVICE_HANDLE = -1;

// A window carried as an integer; the Win32 side converts it to and from HWND.
using WindowHandle = std::intptr_t;
inline constexpr WindowHandle NULL_WINDOW = 0;

} // namespace qv
