#include "ui/win32/SingleInstance.h"

#include "platform/win32/Win32Dialog.h"

namespace qv::win32 {
namespace {

// Two starts at nearly the same moment would otherwise both search before either has made its
// marker, and both stay. A start holds it only while it looks; one that waits longer than a
// search takes goes on without it rather than hang behind a stuck process.
constexpr DWORD SESSION_LOCK_WAIT_MS = 2000;

class CSessionLock {
public:
    explicit CSessionLock(const std::string& strName)
        : m_hMutex(::CreateMutexA(nullptr, FALSE, strName.c_str())) {
        const DWORD dwWait =
            m_hMutex ? ::WaitForSingleObject(m_hMutex, SESSION_LOCK_WAIT_MS) : WAIT_FAILED;
        // An instance that ended while holding it left nothing half-done worth waiting for.
        m_bOwned = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
    }
    ~CSessionLock() {
        if (m_bOwned)
            ::ReleaseMutex(m_hMutex);
        if (m_hMutex)
            ::CloseHandle(m_hMutex);
    }
    CSessionLock(const CSessionLock&) = delete;
    CSessionLock& operator=(const CSessionLock&) = delete;

private:
    HANDLE m_hMutex;
    bool m_bOwned = false;
};

// Briefly owned by each start while it looks for another instance, and held open by the
// instance that runs.
std::string InstanceMutexName(const std::string& strInstanceClass) {
    return "Local\\" + strInstanceClass + " instance";
}

} // namespace

bool CSingleInstance::Claim(HWND hDialog, const std::string& strInstanceClass) {
    const char* pszClass = strInstanceClass.c_str();
    const std::string strMutex = InstanceMutexName(strInstanceClass);
    CSessionLock lock(strMutex);
    WNDCLASSA marker{};
    marker.lpfnWndProc = ::DefWindowProcA;
    marker.hInstance = ResourceModule();
    marker.lpszClassName = pszClass;
    ::RegisterClassA(&marker);

    if (const HWND hOther = ::FindWindowA(pszClass, nullptr)) {
        if (const HWND hOwner = ::GetWindow(hOther, GW_OWNER)) {
            // Posted: a window that does not answer must not hold this start.
            ::ShowWindowAsync(hOwner, SW_RESTORE);
            ::SetForegroundWindow(hOwner);
        }
        return false;
    }
    m_hMarker = ::CreateWindowExA(0, pszClass, pszClass, WS_DISABLED, 0, 0, 0, 0, hDialog, nullptr,
                                  ResourceModule(), nullptr);
    // Held, not owned, while the window runs: a setup that finds the name asks the program to
    // end before it replaces its files.
    m_hPresence = ::CreateMutexA(nullptr, FALSE, strMutex.c_str());
    return true;
}

void CSingleInstance::Release() {
    if (m_hMarker)
        ::DestroyWindow(m_hMarker);
    m_hMarker = nullptr;
    if (m_hPresence)
        ::CloseHandle(m_hPresence);
    m_hPresence = nullptr;
}

} // namespace qv::win32
