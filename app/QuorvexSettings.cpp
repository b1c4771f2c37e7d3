// The application's own values in the program's key, and the Run entry that starts the
// program with /boot at logon. Every failure here is silent and leaves the defaults in force.
#include "app/Quorvex.h"

#include <algorithm>
#include <optional>

namespace qv {
namespace {

constexpr const char* VALUE_KEEP_SPEED = "Keep_Speed";
constexpr const char* VALUE_RUN_ON_BOOT = "RunOnboot";
constexpr const char* VALUE_EXE_PATH = "ExePath";
constexpr DWORD EXE_PATH_VALUE_SIZE = 260;

// The two switches are read into 4 zeroed bytes whatever their type; a value that does not
// fit, or a key that is not open, reads as missing.
std::optional<DWORD> ReadSwitch(CRegistryService& registry, RegKey hKey, const char* pszName) {
    if (hKey == REGKEY_NULL)
        return std::nullopt;
    BYTE aData[4] = {};
    DWORD nSize = sizeof aData;
    if (registry.QueryValue(hKey, pszName, nullptr, aData, &nSize) != REGSTATUS_SUCCESS)
        return std::nullopt;
    return DwordFromBytes(aData);
}

void WriteSwitch(CRegistryService& registry, RegKey hKey, const char* pszName, bool bOn) {
    if (hKey != REGKEY_NULL)
        SetDwordValue(registry, hKey, pszName, bOn ? 1 : 0);
}

// A switch that cannot be read is on, and is stored so from now on.
bool ReadSwitchOrDefault(CRegistryService& registry, RegKey hKey, const char* pszName) {
    if (const auto dwValue = ReadSwitch(registry, hKey, pszName))
        return *dwValue == 1;
    WriteSwitch(registry, hKey, pszName, true);
    return true;
}

} // namespace

bool CQuorvexApp::IsMachineRunKeyWritable() {
    RegKey hKey = REGKEY_NULL;
    const bool bWritable =
        m_platform.registry.CreateKey(REGKEY_LOCAL_MACHINE, APP_RUN_KEY,
                                      REGACCESS_READ | REGACCESS_WRITE, &hKey) == REGSTATUS_SUCCESS;
    CRegKeyScope scope(m_platform.registry, hKey);
    return bWritable;
}

RegKey CQuorvexApp::CreateAppKey() {
    RegKey hKey = REGKEY_NULL;
    if (m_platform.registry.CreateKey(m_platform.registryRoot, SETTINGS_KEY, REGACCESS_ALL,
                                      &hKey) != REGSTATUS_SUCCESS)
        return REGKEY_NULL;
    return hKey;
}

void CQuorvexApp::ReadSettings() {
    const RegKey hKey = CreateAppKey();
    CRegKeyScope scope(m_platform.registry, hKey);
    m_bKeepSpeed = ReadSwitchOrDefault(m_platform.registry, hKey, VALUE_KEEP_SPEED);
    m_bRunOnBoot = ReadSwitchOrDefault(m_platform.registry, hKey, VALUE_RUN_ON_BOOT);
    // Rewritten at every start, so the entry follows the executable wherever it moves.
    if (m_bRunOnBoot)
        WriteRunEntry();
    WriteExePath(hKey);
}

void CQuorvexApp::WriteExePath(RegKey hKey) {
    if (hKey == REGKEY_NULL)
        return;
    // Always the full buffer: the path, its zero and zero filler.
    BYTE aData[EXE_PATH_VALUE_SIZE] = {};
    std::copy(m_strExePath.begin(), m_strExePath.end(), aData);
    m_platform.registry.SetValue(hKey, VALUE_EXE_PATH, REGTYPE_SZ, aData, sizeof aData);
}

void CQuorvexApp::WriteRunEntry() {
    RegKey hKey = REGKEY_NULL;
    if (m_platform.registry.CreateKey(m_platform.registryRoot, APP_RUN_KEY, REGACCESS_ALL, &hKey) !=
        REGSTATUS_SUCCESS)
        return;
    CRegKeyScope scope(m_platform.registry, hKey);
    SetStringValue(m_platform.registry, hKey, APP_NAME, "\"" + m_strExePath + "\" /boot");
}

void CQuorvexApp::DeleteRunEntry() {
    RegKey hKey = REGKEY_NULL;
    if (m_platform.registry.CreateKey(m_platform.registryRoot, APP_RUN_KEY, REGACCESS_ALL, &hKey) !=
        REGSTATUS_SUCCESS)
        return;
    CRegKeyScope scope(m_platform.registry, hKey);
    m_platform.registry.DeleteValue(hKey, APP_NAME);
}

void CQuorvexApp::ToggleKeepSpeed() {
    m_bKeepSpeed = !m_bKeepSpeed;
    const RegKey hKey = CreateAppKey();
    CRegKeyScope scope(m_platform.registry, hKey);
    WriteSwitch(m_platform.registry, hKey, VALUE_KEEP_SPEED, m_bKeepSpeed);
}

// Follows the stored value, not m_bRunOnBoot, which stays as the start read it.
void CQuorvexApp::ToggleRunOnBoot() {
    const RegKey hKey = CreateAppKey();
    CRegKeyScope scope(m_platform.registry, hKey);
    const bool bWasOn = ReadSwitch(m_platform.registry, hKey, VALUE_RUN_ON_BOOT).value_or(0) != 0;
    if (bWasOn)
        DeleteRunEntry();
    else
        WriteRunEntry();
    WriteSwitch(m_platform.registry, hKey, VALUE_RUN_ON_BOOT, !bWasOn);
}

} // namespace qv
