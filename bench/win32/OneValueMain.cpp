// The smallest program that does what a save run does at the least: write one registry value.
// The save run's time is weighed against it, so that Wine's cost of starting any process drops
// out of the figure.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Velnor\\Quorvex Bench", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return 1;
    const DWORD dwValue = 1;
    const LSTATUS nStatus = RegSetValueExW(hKey, L"Value", 0, REG_DWORD,
                                           reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
    RegCloseKey(hKey);
    return nStatus == ERROR_SUCCESS ? 0 : 1;
}
