// A drive's saved values: the exact bytes a save stores, what a load takes back, and which stored
// values a load counts as absent.
#include "device/DriveSettings.h"
#include "device/CDRomList.h"
#include "device/PassThroughTransport.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace qv::test {
namespace {

using Bytes = std::vector<BYTE>;
using Speeds = std::vector<SPEED_ENTRY>;

// Four bytes per entry, speed then rate (speed x 176), each little-endian.
Bytes Detected(const std::vector<int>& aSpeeds) {
    Bytes aData;
    for (int nSpeed : aSpeeds) {
        const int nRate = nSpeed * 176;
        aData.insert(aData.end(), {static_cast<BYTE>(nSpeed), static_cast<BYTE>(nSpeed >> 8),
                                   static_cast<BYTE>(nRate), static_cast<BYTE>(nRate >> 8)});
    }
    return aData;
}

Speeds Entries(const std::vector<int>& aSpeeds) {
    Speeds aEntries;
    for (int nSpeed : aSpeeds)
        aEntries.push_back({nSpeed, nSpeed * 176});
    return aEntries;
}

// E: a 40x drive, F: one whose INQUIRY fails, G: one that never answers, H: a 32x drive and I:
// one whose page tells a rate below 1x, which tells no maximum; each identified at 24x.
sim::SimMachineConfig SavedDrives() {
    sim::SimCdromConfig cdrom;
    cdrom.strProduct = "CD-ROM 40X";
    cdrom.strRevision = "1.02";
    cdrom.strVendorInfo = "Special";
    cdrom.nCurrent = 24;
    sim::SimCdromConfig failing = cdrom, slower = cdrom, unknown = cdrom;
    failing.bInquiryFails = true;
    slower.aSpeeds = {8, 16, 24, 32};
    unknown.nMaxRate = 100;
    auto machine = NtMachine({Cdrom("E:\\", cdrom), Cdrom("F:\\", failing), Cdrom("G:\\", cdrom),
                              Cdrom("H:\\", slower), Cdrom("I:\\", unknown)});
    machine.aDrives[3].bPassThrough = false;
    return machine;
}

class DriveSettingsTest : public ::testing::Test {
protected:
    DriveSettingsTest() {
        m_pList->IdentifyAll();
        EXPECT_TRUE(m_pList->WaitForIdentification(THREAD_WAIT_LIMIT));
        for (int i = 0; i < m_pList->GetCount(); ++i)
            m_pList->GetAt(i)->SelectCurrentSpeed();
    }
    // The drive whose page told nMaxSpeed (0: none).
    CCDRom& Drive(int nMaxSpeed = 40) {
        return *m_pList->GetAt(nMaxSpeed == 40 ? 0 : nMaxSpeed == 32 ? 3 : 4);
    }
    std::optional<StoredValue> Stored(const std::string& strName) {
        return m_sim.Registry().Get(REGKEY_CURRENT_USER, SETTINGS_KEY, strName);
    }
    void Put(const std::string& strName, DWORD dwType, Bytes aData) {
        m_sim.Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, strName,
                             {dwType, std::move(aData)});
    }

    CSimFixture m_sim{SavedDrives()};
    CPassThroughTransport m_transport{m_sim.Machine()};
    std::unique_ptr<CCDRomList> m_pList = CCDRomList::Build(m_sim.Platform(), &m_transport);
};

TEST_F(DriveSettingsTest, SaveStoresModelSpeedAndDetectedWithTheirExactBytes) {
    CCDRom& drive = Drive();
    // The last entry keeps only the low 16 bits of its rate.
    drive.TakeSavedValues(std::nullopt, {{4, 706}, {8, 1412}, {24, 4234}, {40, 70000}});
    CSettingsKey key(m_sim.Registry(), REGKEY_CURRENT_USER, true, SETTINGS_CREATE_ACCESS);
    SaveDriveSettings(key, drive);
    EXPECT_EQ(Stored("E: Model"), StoredText("QRVX;CD-ROM 40X;1.02;Special"));
    EXPECT_EQ(Stored("E: Speed"), (StoredValue{REGTYPE_DWORD, {24, 0, 0, 0}}));
    EXPECT_EQ(Stored("E: Detected"), (StoredValue{REGTYPE_BINARY,
                                                  {4, 0, 0xC2, 0x02, 8, 0, 0x84, 0x05, 24, 0, 0x8A,
                                                   0x10, 40, 0, 0x70, 0x11}}));
}

// A drive whose INQUIRY failed is saved with its separators; one that never gave its page, and an
// empty list, keep what an earlier save stored; a failed write ends the save of that drive only.
TEST_F(DriveSettingsTest, SaveAllStoresWhatEachDriveToldAndGoesOnPastAFailedWrite) {
    Put("F: Detected", REGTYPE_BINARY, Detected({4, 8}));
    Put("G: Speed", REGTYPE_DWORD, {8, 0, 0, 0});
    m_sim.Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "H: Model");
    m_pList->SaveAll();
    EXPECT_EQ(m_sim.Registry().Writes(),
              (std::vector<std::string>{"I: Model", "I: Speed", "F: Model", "F: Speed", "E: Model",
                                        "E: Speed"}));
    EXPECT_EQ(Stored("F: Model"), StoredText(";;;"));
    EXPECT_EQ(Stored("F: Detected"), (StoredValue{REGTYPE_BINARY, Detected({4, 8})}));
    EXPECT_EQ(Stored("G: Speed"), (StoredValue{REGTYPE_DWORD, {8, 0, 0, 0}}));
    EXPECT_EQ(m_sim.Registry().OpenKeyCount(), 0);
}

TEST_F(DriveSettingsTest, ModelDecidesWhetherAnythingIsLoadedButIsNeverCompared) {
    const std::tuple<const char*, std::optional<StoredValue>, bool> aCases[] = {
        {"no model", std::nullopt, false}, // first: nothing is planted yet
        {"model of the wrong type", StoredValue{REGTYPE_BINARY, StoredText("A;B;C;D").aData},
         false},
        {"model over the 199-byte limit", StoredValue{REGTYPE_SZ, Bytes(200, 'x')}, false},
        {"199 bytes without a zero", StoredValue{REGTYPE_SZ, Bytes(199, 'x')}, true},
        {"model of another drive", StoredText("OTHER;DRIVE;9.99;"), true},
    };
    CCDRom& drive = Drive();
    for (const auto& [pszWhat, model, bLoaded] : aCases) {
        SCOPED_TRACE(pszWhat);
        if (model)
            Put("E: Model", model->dwType, model->aData);
        Put("E: Speed", REGTYPE_DWORD, {8, 0, 0, 0});
        Put("E: Detected", REGTYPE_BINARY, Detected({4, 8}));
        drive.SetSelSpeed(24);
        drive.TakeSavedValues(std::nullopt, {{24, 4224}});
        EXPECT_EQ(LoadDriveSettings(m_sim.Platform(), drive), bLoaded ? 8 : 0);
        EXPECT_EQ(drive.Snapshot().nSelSpeed, bLoaded ? 8 : 24);
        EXPECT_EQ(drive.GetSpeeds(), (bLoaded ? Entries({4, 8}) : Speeds{{24, 4224}}));
    }
    EXPECT_EQ(m_sim.Registry().OpenKeyCount(), 0);
}

TEST_F(DriveSettingsTest, ASpeedIsTakenFromOneUpToTheMaximumAsAFourByteDword) {
    // The stored speed, the drive's maximum, the speed selected after the load (24 when the value
    // is ignored).
    const std::tuple<const char*, StoredValue, int, int> aCases[] = {
        {"0", {REGTYPE_DWORD, {0, 0, 0, 0}}, 40, 24},
        {"above the maximum", {REGTYPE_DWORD, {41, 0, 0, 0}}, 40, 24},
        {"far above", {REGTYPE_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}, 40, 24},
        {"the maximum", {REGTYPE_DWORD, {40, 0, 0, 0}}, 40, 40},
        {"1", {REGTYPE_DWORD, {1, 0, 0, 0}}, 40, 1},
        {"maximum unknown", {REGTYPE_DWORD, {8, 0, 0, 0}}, 0, 24},
        {"REG_BINARY", {REGTYPE_BINARY, {8, 0, 0, 0}}, 40, 24},
        {"2 bytes", {REGTYPE_DWORD, {8, 0}}, 40, 24},
    };
    for (const auto& [pszWhat, speed, nMaxSpeed, nSelected] : aCases) {
        SCOPED_TRACE(pszWhat);
        CCDRom& drive = Drive(nMaxSpeed);
        Put(drive.Drive() + " Model", REGTYPE_SZ, StoredText("A;B;C;D").aData);
        Put(drive.Drive() + " Speed", speed.dwType, speed.aData);
        drive.SetSelSpeed(24);
        LoadDriveSettings(m_sim.Platform(), drive);
        EXPECT_EQ(drive.Snapshot().nSelSpeed, nSelected);
    }
}

TEST_F(DriveSettingsTest, DetectedEntriesAreKeptUpToTheLimitInStoredOrder) {
    Bytes a200Entries(800, 0);
    a200Entries[0] = 4;
    Bytes a201Entries(a200Entries);
    a201Entries.resize(804);
    struct Case {
        const char* pszWhat;
        int nMaxSpeed;
        Bytes aData;
        std::optional<Speeds> loaded; // nullopt: the list is left as it was
        DWORD dwType = REGTYPE_BINARY;
    };
    const Case aCases[] = {
        {"stop at the maximum", 32, Detected({4, 8, 16, 24, 32, 40}), Entries({4, 8, 16, 24, 32})},
        // What a load keeps, a save stores and the next load keeps again.
        {"an unknown maximum, not the last entry", 0, Detected({9, 5}), Entries({9, 5})},
        {"an unknown maximum stops at 100x", 0, Detected({50, 100, 101, 400}), Entries({50, 100})},
        {"drop 0 and speeds above", 40, Detected({8, 0, 4, 48, 16}), Entries({8, 4, 16})},
        {"6 bytes: one unsigned entry", 40, {20, 0, 0xFF, 0xFF, 8, 0}, Speeds{{20, 65535}}},
        {"3 bytes", 40, {20, 0, 0}, std::nullopt},
        {"REG_DWORD", 40, {4, 0, 0xC0, 0x02}, std::nullopt, REGTYPE_DWORD},
        {"201 entries", 40, a201Entries, std::nullopt},
        {"200 entries", 40, a200Entries, Speeds{{4, 0}}},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        CCDRom& drive = Drive(c.nMaxSpeed);
        Put(drive.Drive() + " Model", REGTYPE_SZ, StoredText("A;B;C;D").aData);
        Put(drive.Drive() + " Detected", c.dwType, c.aData);
        drive.TakeSavedValues(std::nullopt, {{24, 4224}});
        LoadDriveSettings(m_sim.Platform(), drive);
        EXPECT_EQ(drive.GetSpeeds(), c.loaded.value_or(Speeds{{24, 4224}}));
    }
}

} // namespace
} // namespace qv::test
