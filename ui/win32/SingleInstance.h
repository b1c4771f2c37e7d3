// One instance per user session: the first main window leaves a hidden marker window behind it,
// and a later start that finds the marker brings the window that owns it forward and ends. While
// the window runs, the session's mutex "Local\<instance class> instance" exists.
#pragma once

#include "platform/win32/Win32.h"

#include <string>

namespace qv::win32 {

class CSingleInstance {
public:
    CSingleInstance() = default;
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;
    ~CSingleInstance() { Release(); }

    // True when no other instance runs: hDialog then owns a marker of class and title
    // strInstanceClass. Otherwise the other instance's window has been restored and brought to
    // the front.
    bool Claim(HWND hDialog, const std::string& strInstanceClass);
    // Destroys the marker.
    void Release();

private:
    HWND m_hMarker = nullptr;
    HANDLE m_hPresence = nullptr;
};

} // namespace qv::win32
