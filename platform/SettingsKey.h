// The program's own key in the registry, where every value that outlives a run is kept: the
// settings, each drive's saved values and the update check's dates. The rules for reading and
// writing their bytes live here once.
#pragma once

#include "platform/Registry.h"

#include <optional>
#include <string>
#include <vector>

namespace qv {

inline constexpr const char* SETTINGS_KEY = "Software\\Velnor\\Quorvex";

struct StoredBytes {
    DWORD dwType;
    std::vector<BYTE> aData;
};

// The key opened for one use, closed again when it goes; every call fails quietly when the key
// could not be opened.
class CSettingsKey {
public:
    // Opens the key under hRoot with dwAccess, creating it when bCreate.
    CSettingsKey(CRegistryService& registry, RegKey hRoot, bool bCreate, DWORD dwAccess);
    ~CSettingsKey();
    CSettingsKey(const CSettingsKey&) = delete;
    CSettingsKey& operator=(const CSettingsKey&) = delete;

    bool IsOpen() const { return m_hKey != REGKEY_NULL; }
    // Whether opening found no key at all.
    bool IsMissing() const { return m_nOpenStatus == REGSTATUS_FILE_NOT_FOUND; }

    // The value's type and bytes; nothing when it is missing or longer than nLimit bytes.
    std::optional<StoredBytes> Read(const std::string& strName, DWORD nLimit) const;
    // A switch: up to four bytes of any type, read as a little-endian number; nothing when the
    // value is missing or does not fit.
    std::optional<DWORD> ReadSwitch(const std::string& strName) const;

    bool Write(const std::string& strName, DWORD dwType, const std::vector<BYTE>& aData);
    bool WriteDword(const std::string& strName, DWORD dwValue);
    // A REG_SZ of the text and its terminating zero.
    bool WriteText(const std::string& strName, const std::string& strText);

private:
    CRegistryService& m_registry;
    RegKey m_hKey = REGKEY_NULL;
    RegStatus m_nOpenStatus;
};

} // namespace qv
