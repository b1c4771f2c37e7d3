// An update check over a registry in memory and the stand-in services.
#pragma once

#include "platform/SettingsKey.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/StandInUpdate.h"
#include "update/UpdateCheck.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace qv::test {

// The bytes of a REG_SZ exactly as given, terminator and filler included.
inline StoredValue Bytes(const std::string& strBytes) {
    return {REGTYPE_SZ, std::vector<BYTE>(strBytes.begin(), strBytes.end())};
}

class CUpdateFixture : public ::testing::Test {
protected:
    std::optional<StoredValue> Stored(const char* pszName) const {
        return m_registry.Get(REGKEY_CURRENT_USER, SETTINGS_KEY, pszName);
    }
    void Plant(const char* pszName, const std::string& strBytes) {
        m_registry.Put(REGKEY_CURRENT_USER, SETTINGS_KEY, pszName, Bytes(strBytes));
    }

    CMemoryRegistry m_registry;
    CStandInUpdate m_update;
    CScriptedHttp& m_http = m_update.http;
    CFakeClock& m_clock = m_update.clock;
    CUpdateCheck m_check{m_registry, REGKEY_CURRENT_USER, m_update.services};
};

} // namespace qv::test
