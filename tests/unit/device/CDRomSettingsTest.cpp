// A drive's saved values: the exact bytes a save stores, what a load takes back, and which
// stored values a load counts as absent.
#include "device/CDRom.h"
#include "device/CDRomList.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

using Bytes = std::vector<BYTE>;
using Speeds = std::vector<SPEED_ENTRY>;

// Four bytes per entry, speed then rate (speed x 176), each little-endian.
Bytes DetectedBytes(const std::vector<int>& aSpeeds) {
    Bytes aData;
    for (int nSpeed : aSpeeds) {
        const int nRate = nSpeed * 176;
        aData.insert(aData.end(), {static_cast<BYTE>(nSpeed), static_cast<BYTE>(nSpeed >> 8),
                                   static_cast<BYTE>(nRate), static_cast<BYTE>(nRate >> 8)});
    }
    return aData;
}

StoredValue Detected(const std::vector<int>& aSpeeds) {
    return {REGTYPE_BINARY, DetectedBytes(aSpeeds)};
}

Speeds Entries(const std::vector<int>& aSpeeds) {
    Speeds aEntries;
    for (int nSpeed : aSpeeds)
        aEntries.push_back({nSpeed, nSpeed * 176});
    return aEntries;
}

// A drive that has given its capabilities page, which a drive must have done to be saved.
void HasAnswered(CCDRom& drive) {
    const BYTE aPage[CAPS_PARSED_SIZE] = {MODE_PAGE_CAPABILITIES};
    drive.ParseCapabilities(aPage);
}

class CDRomSettingsTest : public ::testing::Test {
protected:
    CDRomSettingsTest() {
        HasAnswered(m_drive);
        m_drive.m_strVendor = "QRVX";
        m_drive.m_strProduct = "CD-ROM 40X";
        m_drive.m_strRevision = "1.20";
        m_drive.m_strVendorInfo = "Special";
        m_drive.m_nMaxSpeed = 40;
        m_drive.m_nSelSpeed = 24;
    }

    CMemoryRegistry& Registry() { return m_sim.Registry(); }
    std::optional<StoredValue> Stored(const std::string& strName) {
        return Registry().Get(REGKEY_CURRENT_USER, SETTINGS_KEY, strName);
    }
    void Put(const std::string& strName, DWORD dwType, Bytes aData) {
        Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, strName, dwType, std::move(aData));
    }
    void PutModel() { Put("E: Model", REGTYPE_SZ, StoredText("A;B;C;D").aData); }
    void SaveWithCreatedKey(CCDRom& drive) {
        const RegKey hKey = CCDRom::OpenSettingsKey(m_sim.Platform(), true);
        ASSERT_NE(hKey, REGKEY_NULL);
        drive.SaveSettings(hKey);
        Registry().CloseKey(hKey);
    }

    CSimFixture m_sim{NtMachine({})};
    CCDRom m_drive{m_sim.Platform(), "E:\\"};
};

// What a save stores, and where.

TEST_F(CDRomSettingsTest, SaveStoresModelSpeedAndDetectedWithTheirExactBytes) {
    // The last entry keeps only the low 16 bits of its numbers.
    m_drive.m_aSpeeds = {{4, 706}, {8, 1412}, {24, 4234}, {0x12345, 70000}};
    SaveWithCreatedKey(m_drive);

    EXPECT_EQ(Stored("E: Model"), StoredText("QRVX;CD-ROM 40X;1.20;Special"));
    EXPECT_EQ(Stored("E: Speed"), (StoredValue{REGTYPE_DWORD, {24, 0, 0, 0}}));
    EXPECT_EQ(Stored("E: Detected"), (StoredValue{REGTYPE_BINARY,
                                                  {4, 0, 0xC2, 0x02, 8, 0, 0x84, 0x05, 24, 0, 0x8A,
                                                   0x10, 0x45, 0x23, 0x70, 0x11}}));
}

TEST_F(CDRomSettingsTest, ABlankDriveWithoutSpeedsStoresSeparatorsAndKeepsAnOlderList) {
    Put("F: Detected", REGTYPE_BINARY, DetectedBytes({4, 8}));
    CCDRom blank(m_sim.Platform(), "F:\\");
    HasAnswered(blank);
    SaveWithCreatedKey(blank);

    EXPECT_EQ(Registry().Writes(), (std::vector<std::string>{"F: Model", "F: Speed"}));
    EXPECT_EQ(Stored("F: Model"), StoredText(";;;"));
    EXPECT_EQ(Stored("F: Detected"), (StoredValue{REGTYPE_BINARY, DetectedBytes({4, 8})}));
}

// Given no key, a save or a load opens only one that exists, and closes it again.
TEST_F(CDRomSettingsTest, WithoutAKeyGivenOnlyAnExistingOneIsUsed) {
    m_drive.m_aSpeeds = {{24, 4224}};
    m_drive.SaveSettings(REGKEY_NULL);
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_FALSE(Registry().HasKey(REGKEY_CURRENT_USER, SETTINGS_KEY));
    EXPECT_EQ(m_drive.m_nSelSpeed, 24);
    EXPECT_EQ(m_drive.m_aSpeeds, (Speeds{{24, 4224}}));

    PutModel();
    m_drive.SaveSettings(REGKEY_NULL);
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(Stored("E: Speed"), (StoredValue{REGTYPE_DWORD, {24, 0, 0, 0}}));
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

TEST_F(CDRomSettingsTest, AFailedWriteStopsTheSaveOfThatDrive) {
    m_drive.m_aSpeeds = {{4, 706}};
    Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "E: Model");
    SaveWithCreatedKey(m_drive);
    EXPECT_TRUE(Registry().Writes().empty());

    CCDRom other(m_sim.Platform(), "F:\\");
    HasAnswered(other);
    other.m_aSpeeds = {{4, 706}};
    Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "F: Speed");
    SaveWithCreatedKey(other);
    EXPECT_EQ(Registry().Writes(), (std::vector<std::string>{"F: Model"}));
}

// What a load takes, and what it leaves alone.

TEST_F(CDRomSettingsTest, ModelDecidesWhetherAnythingIsLoadedButIsNeverCompared) {
    struct Case {
        const char* pszWhat;
        std::optional<StoredValue> model;
        bool bLoaded;
    };
    const Case aCases[] = {
        {"no model", std::nullopt, false}, // first: nothing is planted yet
        {"model of the wrong type", StoredValue{REGTYPE_BINARY, StoredText("A;B;C;D").aData},
         false},
        {"model over the 199-byte limit", StoredValue{REGTYPE_SZ, Bytes(200, 'x')}, false},
        {"199 bytes without a zero", StoredValue{REGTYPE_SZ, Bytes(199, 'x')}, true},
        {"model of another drive", StoredText("OTHER;DRIVE;9.99;"), true},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        if (c.model)
            Put("E: Model", c.model->dwType, c.model->aData);
        Put("E: Speed", REGTYPE_DWORD, {8, 0, 0, 0});
        Put("E: Detected", REGTYPE_BINARY, DetectedBytes({4, 8}));
        m_drive.m_nSelSpeed = 24;
        m_drive.m_aSpeeds = {{24, 4224}};
        m_drive.LoadSettings(REGKEY_NULL);
        EXPECT_EQ(m_drive.m_nSelSpeed, c.bLoaded ? 8 : 24);
        EXPECT_EQ(m_drive.m_aSpeeds, (c.bLoaded ? Entries({4, 8}) : Speeds{{24, 4224}}));
    }
}

TEST_F(CDRomSettingsTest, ASpeedIsTakenFromOneUpToTheMaximumAsAFourByteDword) {
    struct Case {
        const char* pszWhat;
        StoredValue speed;
        int nMaxSpeed;
        int nSelected; // 24 when the value is ignored
    };
    const Case aCases[] = {
        {"0", {REGTYPE_DWORD, {0, 0, 0, 0}}, 40, 24},
        {"above the maximum", {REGTYPE_DWORD, {41, 0, 0, 0}}, 40, 24},
        {"the maximum", {REGTYPE_DWORD, {40, 0, 0, 0}}, 40, 40},
        {"1", {REGTYPE_DWORD, {1, 0, 0, 0}}, 40, 1},
        {"maximum unknown", {REGTYPE_DWORD, {8, 0, 0, 0}}, 0, 24},
        {"REG_BINARY", {REGTYPE_BINARY, {8, 0, 0, 0}}, 40, 24},
        {"2 bytes", {REGTYPE_DWORD, {8, 0}}, 40, 24},
    };
    PutModel();
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        Put("E: Speed", c.speed.dwType, c.speed.aData);
        m_drive.m_nMaxSpeed = c.nMaxSpeed;
        m_drive.m_nSelSpeed = 24;
        m_drive.LoadSettings(REGKEY_NULL);
        EXPECT_EQ(m_drive.m_nSelSpeed, c.nSelected);
    }
}

TEST_F(CDRomSettingsTest, DetectedEntriesAreKeptUpToTheLimitInStoredOrder) {
    struct Case {
        const char* pszWhat;
        StoredValue detected;
        int nMaxSpeed;
        std::optional<Speeds> loaded; // nullopt: the list is left as it was
    };
    Bytes a200Entries(800, 0);
    a200Entries[0] = 4;
    Bytes a201Entries(a200Entries);
    a201Entries.resize(804);
    const Case aCases[] = {
        {"stop at the maximum", Detected({4, 8, 16, 24, 32, 40}), 32, Entries({4, 8, 16, 24, 32})},
        // What a load keeps, a save stores and the next load keeps again.
        {"an unknown maximum does not stop at the last entry", Detected({9, 5}), 0,
         Entries({9, 5})},
        {"an unknown maximum stops at 100x", Detected({50, 100, 101, 400}), 0, Entries({50, 100})},
        {"drop 0 and speeds above", Detected({8, 0, 4, 48, 16}), 40, Entries({8, 4, 16})},
        {"6 bytes: one unsigned entry",
         {REGTYPE_BINARY, {20, 0, 0xFF, 0xFF, 8, 0}},
         40,
         Speeds{{20, 65535}}},
        {"3 bytes", {REGTYPE_BINARY, {20, 0, 0}}, 40, std::nullopt},
        {"REG_DWORD", {REGTYPE_DWORD, {4, 0, 0xC0, 0x02}}, 40, std::nullopt},
        {"201 entries", {REGTYPE_BINARY, a201Entries}, 40, std::nullopt},
        {"200 entries", {REGTYPE_BINARY, a200Entries}, 40, Speeds{{4, 0}}},
    };
    PutModel();
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        Put("E: Detected", c.detected.dwType, c.detected.aData);
        m_drive.m_nMaxSpeed = c.nMaxSpeed;
        m_drive.m_aSpeeds = {{24, 4224}};
        m_drive.LoadSettings(REGKEY_NULL);
        EXPECT_EQ(m_drive.m_aSpeeds, c.loaded.value_or(Speeds{{24, 4224}}));
    }
}

// The whole list at once.

TEST(CDRomListSettingsTest, SaveAllWritesTheLastDriveFirstAndGoesOnAfterAFailedWrite) {
    CSimFixture sim(NtMachine({Cdrom("E:\\"), Cdrom("F:\\"), Cdrom("G:\\")}));
    sim.Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "F: Model");
    CCDRom::SelectTransport(sim.Platform());
    const auto pList = CCDRomList::Build(sim.Platform());
    pList->IdentifyAll();
    pList->SaveAll();
    EXPECT_EQ(sim.Registry().Writes(),
              (std::vector<std::string>{"G: Model", "G: Speed", "E: Model", "E: Speed"}));
    EXPECT_EQ(sim.Registry().OpenKeyCount(), 0);
}

} // namespace
} // namespace qv::test
