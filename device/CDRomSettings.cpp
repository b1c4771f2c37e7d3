// A drive's saved identification, selected speed and detected speeds: three values in the
// program's key whose names start with the drive text.
#include "device/CDRom.h"

#include "device/Quietly.h"

#include <algorithm>

namespace qv {
namespace {

constexpr const char* SUFFIX_MODEL = " Model";
constexpr const char* SUFFIX_SPEED = " Speed";
constexpr const char* SUFFIX_DETECTED = " Detected";

// A longer value cannot be read and counts as absent.
constexpr DWORD MODEL_READ_LIMIT = 199;
constexpr DWORD DETECTED_READ_LIMIT = 800;
constexpr DWORD DETECTED_ENTRY_SIZE = 4;

constexpr DWORD SETTINGS_CREATE_ACCESS = REGACCESS_QUERY_VALUE | REGACCESS_SET_VALUE;
constexpr DWORD SETTINGS_OPEN_ACCESS =
    REGACCESS_QUERY_VALUE | REGACCESS_SET_VALUE | REGACCESS_ENUMERATE_SUB_KEYS;

void PutWord(std::vector<BYTE>& aData, int nValue) {
    aData.push_back(static_cast<BYTE>(nValue));
    aData.push_back(static_cast<BYTE>(nValue >> 8));
}

int GetWord(const BYTE* pData) {
    return pData[0] | pData[1] << 8;
}

// Opens the key itself when the caller gave none, and closes only a key it opened.
class CSettingsKey {
public:
    CSettingsKey(const CPlatform& platform, RegKey hGiven)
        : m_hKey(hGiven != REGKEY_NULL ? hGiven : CCDRom::OpenSettingsKey(platform, false)),
          m_scope(platform.registry, hGiven != REGKEY_NULL ? REGKEY_NULL : m_hKey) {}
    RegKey Get() const { return m_hKey; }

private:
    RegKey m_hKey;
    CRegKeyScope m_scope;
};

} // namespace

RegKey CCDRom::OpenSettingsKey(const CPlatform& platform, bool bCreate) {
    RegKey hKey = REGKEY_NULL;
    Quietly([&] {
        const RegStatus nStatus =
            bCreate ? platform.registry.CreateKey(platform.registryRoot, SETTINGS_KEY,
                                                  SETTINGS_CREATE_ACCESS, &hKey)
                    : platform.registry.OpenKey(platform.registryRoot, SETTINGS_KEY,
                                                SETTINGS_OPEN_ACCESS, &hKey);
        if (nStatus != REGSTATUS_SUCCESS)
            hKey = REGKEY_NULL;
    });
    return hKey;
}

void CCDRom::SaveSettings(RegKey hGiven) {
    Quietly([&] {
        const CSettingsKey key(m_platform, hGiven);
        if (key.Get() == REGKEY_NULL)
            return;
        std::string strModel;
        DWORD dwSelSpeed = 0;
        std::vector<BYTE> aDetected;
        {
            auto lock = Lock();
            // A drive that never answered keeps what an earlier save stored for it.
            if (!m_bPageRead)
                return;
            strModel =
                m_strVendor + ';' + m_strProduct + ';' + m_strRevision + ';' + m_strVendorInfo;
            dwSelSpeed = static_cast<DWORD>(m_nSelSpeed);
            for (const SPEED_ENTRY& entry : m_aSpeeds) {
                PutWord(aDetected, entry.nSpeed);
                PutWord(aDetected, entry.nRate);
            }
        }
        CRegistryService& registry = m_platform.registry;
        if (SetStringValue(registry, key.Get(), m_strDrive + SUFFIX_MODEL, strModel) !=
            REGSTATUS_SUCCESS)
            return;
        if (SetDwordValue(registry, key.Get(), m_strDrive + SUFFIX_SPEED, dwSelSpeed) !=
            REGSTATUS_SUCCESS)
            return;
        // An empty list keeps whatever an earlier save stored.
        if (!aDetected.empty())
            registry.SetValue(key.Get(), m_strDrive + SUFFIX_DETECTED, REGTYPE_BINARY,
                              aDetected.data(), static_cast<DWORD>(aDetected.size()));
    });
}

int CCDRom::LoadSettings(RegKey hGiven) {
    int nTaken = 0;
    Quietly([&] {
        const CSettingsKey key(m_platform, hGiven);
        if (key.Get() == REGKEY_NULL)
            return;
        CRegistryService& registry = m_platform.registry;
        DWORD dwType = 0;

        // Only whether a model is stored matters: a different drive under the same letter
        // inherits the values, so the text itself is never read back.
        BYTE aModel[MODEL_READ_LIMIT];
        DWORD nSize = sizeof aModel;
        if (registry.QueryValue(key.Get(), m_strDrive + SUFFIX_MODEL, &dwType, aModel, &nSize) !=
                REGSTATUS_SUCCESS ||
            dwType != REGTYPE_SZ)
            return;

        BYTE aSpeed[4];
        nSize = sizeof aSpeed;
        const bool bSpeed = registry.QueryValue(key.Get(), m_strDrive + SUFFIX_SPEED, &dwType,
                                                aSpeed, &nSize) == REGSTATUS_SUCCESS &&
                            dwType == REGTYPE_DWORD && nSize == sizeof aSpeed;
        const DWORD dwSpeed = bSpeed ? DwordFromBytes(aSpeed) : 0;

        BYTE aDetected[DETECTED_READ_LIMIT];
        nSize = sizeof aDetected;
        const bool bDetected = registry.QueryValue(key.Get(), m_strDrive + SUFFIX_DETECTED, &dwType,
                                                   aDetected, &nSize) == REGSTATUS_SUCCESS &&
                               dwType == REGTYPE_BINARY && nSize >= DETECTED_ENTRY_SIZE &&
                               nSize <= sizeof aDetected;
        const int nEntries = bDetected ? static_cast<int>(nSize / DETECTED_ENTRY_SIZE) : 0;

        auto lock = Lock();
        if (dwSpeed >= 1 && dwSpeed <= static_cast<DWORD>(std::max(m_nMaxSpeed, 0)))
            m_nSelSpeed = nTaken = static_cast<int>(dwSpeed);
        if (nEntries == 0)
            return;
        // No drive reads above 100x: a stored list that claims more is not a drive's, and with
        // the maximum unknown that is the only limit, so a list read back is saved unchanged.
        const int nLimit = m_nMaxSpeed > 0 ? std::min(m_nMaxSpeed, MAX_SPEED_X) : MAX_SPEED_X;
        m_aSpeeds.clear();
        for (int nEntry = 0; nEntry < nEntries; ++nEntry) {
            const BYTE* pEntry = aDetected + nEntry * DETECTED_ENTRY_SIZE;
            const int nSpeed = GetWord(pEntry);
            if (nSpeed >= 1 && nSpeed <= nLimit)
                m_aSpeeds.push_back({nSpeed, GetWord(pEntry + 2)});
        }
    });
    return nTaken;
}

} // namespace qv
