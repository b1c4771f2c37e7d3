// The application's own values in the program's key, and the Run entry that starts the
// program with /boot at logon, both under HKEY_CURRENT_USER whatever the rights of the run.
// Every failure here is silent and leaves the defaults in force.
#include "app/Quorvex.h"
#include "app/Texts.h"
#include "platform/SettingsKey.h"

#include <algorithm>
#include <optional>
#include <string>

namespace qv {
namespace {

constexpr const char* VALUE_KEEP_SPEED = "Keep_Speed";
constexpr const char* VALUE_RUN_ON_BOOT = "RunOnboot";
constexpr const char* VALUE_EXE_PATH = "ExePath";
constexpr DWORD EXE_PATH_VALUE_SIZE = 260;
// The largest value name and data that the carry-over copies; anything larger is left behind.
// Every value the program reads fits, the longest being a drive's detected speeds (800 bytes).
constexpr DWORD CARRY_NAME_LIMIT = 256;
constexpr DWORD CARRY_DATA_LIMIT = 2048;

// A switch that cannot be read is on, and is stored so from now on. "Keep_Speed" is on only
// when it reads 1; "RunOnboot" is on for any number but 0, as its toggle reads it, so that a
// stored 2 needs one click to turn off.
bool ReadSwitchOrDefault(CSettingsKey& key, const char* pszName, bool (*isOn)(DWORD)) {
    if (const auto dwValue = key.ReadSwitch(pszName))
        return isOn(*dwValue);
    key.WriteDword(pszName, 1);
    return true;
}

bool IsOne(DWORD dwValue) {
    return dwValue == 1;
}

bool IsNonZero(DWORD dwValue) {
    return dwValue != 0;
}

// Older versions kept an administrator's values machine-wide. The first start that finds no key
// of the user's copies every value of the machine's key into a new one, so that the drives'
// speeds and the switches survive; the machine's key stays for the other users. Once the user's
// key exists the copy never runs again, so nothing stored there is ever overwritten.
void CarryOverMachineSettings(CRegistryService& registry) {
    RegKey hUser = REGKEY_NULL;
    const RegStatus nUser =
        registry.OpenKey(REGKEY_CURRENT_USER, SETTINGS_KEY, REGACCESS_QUERY_VALUE, &hUser);
    CRegKeyScope userScope(registry, hUser);
    if (nUser != REGSTATUS_FILE_NOT_FOUND)
        return;
    RegKey hMachine = REGKEY_NULL;
    if (registry.OpenKey(REGKEY_LOCAL_MACHINE, SETTINGS_KEY,
                         AccessUnder(REGKEY_LOCAL_MACHINE, REGACCESS_QUERY_VALUE),
                         &hMachine) != REGSTATUS_SUCCESS)
        return;
    CRegKeyScope machineScope(registry, hMachine);
    RegKey hCopy = REGKEY_NULL;
    if (registry.CreateKey(REGKEY_CURRENT_USER, SETTINGS_KEY, REGACCESS_SET_VALUE, &hCopy) !=
        REGSTATUS_SUCCESS)
        return;
    CRegKeyScope copyScope(registry, hCopy);
    for (DWORD nIndex = 0;; ++nIndex) {
        char szName[CARRY_NAME_LIMIT];
        DWORD nName = CARRY_NAME_LIMIT;
        BYTE aData[CARRY_DATA_LIMIT];
        DWORD nData = CARRY_DATA_LIMIT;
        DWORD dwType = 0;
        const RegStatus nStatus =
            registry.EnumValue(hMachine, nIndex, szName, &nName, &dwType, aData, &nData);
        if (nStatus == REGSTATUS_MORE_DATA)
            continue;
        if (nStatus != REGSTATUS_SUCCESS)
            break;
        registry.SetValue(hCopy, std::string(szName, nName), dwType, aData, nData);
    }
}

} // namespace

// The Run entry starts the program with /boot; an older version's machine-wide entry, which a user
// without administrator rights cannot delete, goes on doing so after the user turned run at boot
// off. What "RunOnboot" reads decides, before anything is written: the user's value, or for a
// user whose values are not carried over yet, the machine-wide one that will be.
bool CQuorvexApp::IsUnwantedLogonStart() const {
    if (!m_cmdLine.m_bRestore)
        return false;
    for (const RegKey hRoot : {REGKEY_CURRENT_USER, REGKEY_LOCAL_MACHINE}) {
        const CSettingsKey key(m_platform.registry, hRoot, false,
                               AccessUnder(hRoot, REGACCESS_QUERY_VALUE));
        if (key.IsOpen())
            return key.ReadSwitch(VALUE_RUN_ON_BOOT) == DWORD{0};
        if (!key.IsMissing())
            return false;
    }
    return false;
}

CSettingsKey CQuorvexApp::OpenAppKey() {
    return {m_platform.registry, REGKEY_CURRENT_USER, true, REGACCESS_ALL};
}

std::optional<int> CQuorvexApp::ReadSettings(CUpdateCheck& schedule) {
    CarryOverMachineSettings(m_platform.registry);
    CSettingsKey key = OpenAppKey();
    m_bKeepSpeed = ReadSwitchOrDefault(key, VALUE_KEEP_SPEED, IsOne);
    m_bRunOnBoot = ReadSwitchOrDefault(key, VALUE_RUN_ON_BOOT, IsNonZero);
    // Rewritten at every start, so the entry follows the executable wherever it moves.
    if (m_bRunOnBoot)
        WriteRunEntry();
    const std::optional<int> nLastCheck = schedule.LoadLastUpdate();
    // Always the full buffer: the path, its zero and zero filler.
    std::vector<BYTE> aExePath(m_strExePath.begin(), m_strExePath.end());
    aExePath.resize(EXE_PATH_VALUE_SIZE, 0);
    key.Write(VALUE_EXE_PATH, REGTYPE_SZ, aExePath);
    return nLastCheck;
}

void CQuorvexApp::WriteRunEntry() {
    // A path that could not be read whole would name no file.
    if (m_strExePathWide.empty())
        return;
    RegKey hKey = REGKEY_NULL;
    if (m_platform.registry.CreateKey(REGKEY_CURRENT_USER, APP_RUN_KEY, REGACCESS_ALL, &hKey) !=
        REGSTATUS_SUCCESS)
        return;
    CRegKeyScope scope(m_platform.registry, hKey);
    m_platform.registry.SetStringValueWide(hKey, APP_NAME, u"\"" + m_strExePathWide + u"\" /boot");
}

// An older version run by an administrator left its entry machine-wide; where this process may
// delete it, it goes too, or the program would still start at logon.
void CQuorvexApp::DeleteRunEntry() {
    for (const RegKey hRoot : {REGKEY_CURRENT_USER, REGKEY_LOCAL_MACHINE}) {
        RegKey hKey = REGKEY_NULL;
        if (m_platform.registry.OpenKey(hRoot, APP_RUN_KEY, AccessUnder(hRoot, REGACCESS_SET_VALUE),
                                        &hKey) != REGSTATUS_SUCCESS)
            continue;
        CRegKeyScope scope(m_platform.registry, hKey);
        m_platform.registry.DeleteValue(hKey, APP_NAME);
    }
}

void CQuorvexApp::ToggleKeepSpeed() {
    m_bKeepSpeed = !m_bKeepSpeed;
    OpenAppKey().WriteDword(VALUE_KEEP_SPEED, m_bKeepSpeed ? 1 : 0);
}

// Follows the stored value, not m_bRunOnBoot, which stays as the start read it.
void CQuorvexApp::ToggleRunOnBoot() {
    CSettingsKey key = OpenAppKey();
    const bool bWasOn = key.ReadSwitch(VALUE_RUN_ON_BOOT).value_or(0) != 0;
    if (bWasOn)
        DeleteRunEntry();
    else
        WriteRunEntry();
    key.WriteDword(VALUE_RUN_ON_BOOT, bWasOn ? 0 : 1);
}

} // namespace qv
