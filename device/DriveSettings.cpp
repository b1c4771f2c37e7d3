#include "device/DriveSettings.h"

#include "device/Quietly.h"

namespace qv {
namespace {

constexpr const char* SUFFIX_MODEL = " Model";
constexpr const char* SUFFIX_SPEED = " Speed";
constexpr const char* SUFFIX_DETECTED = " Detected";

// A longer value cannot be read and counts as absent.
constexpr DWORD MODEL_READ_LIMIT = 199;
constexpr DWORD DETECTED_READ_LIMIT = 800;
// Speed then rate, each an unsigned 16-bit little-endian number.
constexpr std::size_t DETECTED_ENTRY_SIZE = 4;

void PutWord(std::vector<BYTE>& aData, int nValue) {
    aData.push_back(static_cast<BYTE>(nValue));
    aData.push_back(static_cast<BYTE>(nValue >> 8));
}

int GetWord(const BYTE* pData) {
    return pData[0] | pData[1] << 8;
}

} // namespace

void SaveDriveSettings(CSettingsKey& key, const CCDRom& drive) {
    Quietly([&] {
        const DRIVE_STATE state = drive.Snapshot();
        if (!state.bAnswered)
            return;
        const std::string& strDrive = state.strDrive;
        const std::string strModel = state.strVendor + ';' + state.strProduct + ';' +
                                     state.strRevision + ';' + state.strVendorInfo;
        if (!key.WriteText(strDrive + SUFFIX_MODEL, strModel) ||
            !key.WriteDword(strDrive + SUFFIX_SPEED, static_cast<DWORD>(state.nSelSpeed)))
            return;
        // An empty list keeps whatever an earlier save stored.
        if (state.aSpeeds.empty())
            return;
        std::vector<BYTE> aDetected;
        for (const SPEED_ENTRY& entry : state.aSpeeds) {
            PutWord(aDetected, entry.nSpeed);
            PutWord(aDetected, entry.nRate);
        }
        key.Write(strDrive + SUFFIX_DETECTED, REGTYPE_BINARY, aDetected);
    });
}

int LoadDriveSettings(const CSettingsKey& key, CCDRom& drive) {
    int nTaken = 0;
    Quietly([&] {
        const std::string& strDrive = drive.Drive();
        // Only whether a model is stored matters: its text is never compared.
        const auto model = key.Read(strDrive + SUFFIX_MODEL, MODEL_READ_LIMIT);
        if (!model || model->dwType != REGTYPE_SZ)
            return;
        std::optional<int> nSpeed;
        const auto speed = key.Read(strDrive + SUFFIX_SPEED, 4);
        if (speed && speed->dwType == REGTYPE_DWORD && speed->aData.size() == 4)
            nSpeed =
                static_cast<int>(std::min<DWORD>(DwordFromBytes(speed->aData.data()), 0x7FFFFFFF));
        std::vector<SPEED_ENTRY> aSpeeds;
        const auto detected = key.Read(strDrive + SUFFIX_DETECTED, DETECTED_READ_LIMIT);
        if (detected && detected->dwType == REGTYPE_BINARY) {
            const std::vector<BYTE>& aData = detected->aData;
            for (std::size_t nAt = 0; nAt + DETECTED_ENTRY_SIZE <= aData.size();
                 nAt += DETECTED_ENTRY_SIZE)
                aSpeeds.push_back({GetWord(&aData[nAt]), GetWord(&aData[nAt + 2])});
        }
        nTaken = drive.TakeSavedValues(nSpeed, aSpeeds);
    });
    return nTaken;
}

int LoadDriveSettings(const CPlatform& platform, CCDRom& drive) {
    const CSettingsKey key(platform.registry, platform.registryRoot, false, SETTINGS_OPEN_ACCESS);
    return LoadDriveSettings(key, drive);
}

} // namespace qv
