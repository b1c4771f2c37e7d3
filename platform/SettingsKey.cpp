#include "platform/SettingsKey.h"

namespace qv {

CSettingsKey::CSettingsKey(CRegistryService& registry, RegKey hRoot, bool bCreate, DWORD dwAccess)
    : m_registry(registry),
      m_nOpenStatus(bCreate ? registry.CreateKey(hRoot, SETTINGS_KEY, dwAccess, &m_hKey)
                            : registry.OpenKey(hRoot, SETTINGS_KEY, dwAccess, &m_hKey)) {
    if (m_nOpenStatus != REGSTATUS_SUCCESS)
        m_hKey = REGKEY_NULL;
}

CSettingsKey::~CSettingsKey() {
    if (m_hKey != REGKEY_NULL)
        m_registry.CloseKey(m_hKey);
}

std::optional<StoredBytes> CSettingsKey::Read(const std::string& strName, DWORD nLimit) const {
    if (!IsOpen())
        return std::nullopt;
    StoredBytes value{0, std::vector<BYTE>(nLimit)};
    DWORD nSize = nLimit;
    if (m_registry.QueryValue(m_hKey, strName, &value.dwType, value.aData.data(), &nSize) !=
            REGSTATUS_SUCCESS ||
        nSize > nLimit)
        return std::nullopt;
    value.aData.resize(nSize);
    return value;
}

std::optional<DWORD> CSettingsKey::ReadSwitch(const std::string& strName) const {
    const auto value = Read(strName, 4);
    if (!value)
        return std::nullopt;
    BYTE aData[4] = {};
    std::copy(value->aData.begin(), value->aData.end(), aData);
    return DwordFromBytes(aData);
}

bool CSettingsKey::Write(const std::string& strName, DWORD dwType, const std::vector<BYTE>& aData) {
    return IsOpen() && m_registry.SetValue(m_hKey, strName, dwType, aData.data(),
                                           static_cast<DWORD>(aData.size())) == REGSTATUS_SUCCESS;
}

bool CSettingsKey::WriteDword(const std::string& strName, DWORD dwValue) {
    return IsOpen() && SetDwordValue(m_registry, m_hKey, strName, dwValue) == REGSTATUS_SUCCESS;
}

bool CSettingsKey::WriteText(const std::string& strName, const std::string& strText) {
    return IsOpen() && SetStringValue(m_registry, m_hKey, strName, strText) == REGSTATUS_SUCCESS;
}

} // namespace qv
