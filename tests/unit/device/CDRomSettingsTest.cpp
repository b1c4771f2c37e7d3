#include "device/CDRom.h"
#include "device/CDRomList.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

class CDRomSettingsTest : public ::testing::Test {
protected:
    CDRomSettingsTest() {
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
    void Put(const std::string& strName, DWORD dwType, std::vector<BYTE> aData) {
        Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, strName, dwType, std::move(aData));
    }
    void PutModel() {
        Registry().PutString(REGKEY_CURRENT_USER, SETTINGS_KEY, "E: Model", "A;B;C;D");
    }
    void PutSpeed(DWORD dwSpeed) {
        Registry().PutDword(REGKEY_CURRENT_USER, SETTINGS_KEY, "E: Speed", dwSpeed);
    }
    void PutDetected(const std::vector<int>& aSpeeds) {
        std::vector<BYTE> aData;
        for (int nSpeed : aSpeeds) {
            const int nRate = nSpeed * 176;
            aData.insert(aData.end(), {static_cast<BYTE>(nSpeed), static_cast<BYTE>(nSpeed >> 8),
                                       static_cast<BYTE>(nRate), static_cast<BYTE>(nRate >> 8)});
        }
        Put("E: Detected", REGTYPE_BINARY, std::move(aData));
    }
    void SaveWithCreatedKey(CCDRom& drive) {
        const RegKey hKey = CCDRom::OpenSettingsKey(m_sim.Platform(), true);
        ASSERT_NE(hKey, REGKEY_NULL);
        drive.SaveSettings(hKey);
        Registry().CloseKey(hKey);
    }
    std::vector<int> LoadedSpeeds() {
        std::vector<int> aSpeeds;
        for (const SPEED_ENTRY& entry : m_drive.m_aSpeeds)
            aSpeeds.push_back(entry.nSpeed);
        return aSpeeds;
    }

    CSimFixture m_sim{NtMachine({})};
    CCDRom m_drive{m_sim.Platform(), "E:\\"};
};

std::vector<BYTE> Text(const std::string& strText) {
    std::vector<BYTE> aData(strText.begin(), strText.end());
    aData.push_back(0);
    return aData;
}

// What a save stores, byte for byte.

TEST_F(CDRomSettingsTest, SaveStoresModelSpeedAndDetectedWithTheirExactBytes) {
    m_drive.m_aSpeeds = {{4, 706}, {8, 1412}, {24, 4234}};
    SaveWithCreatedKey(m_drive);

    EXPECT_EQ(Stored("E: Model"), (StoredValue{REGTYPE_SZ, Text("QRVX;CD-ROM 40X;1.20;Special")}));
    EXPECT_EQ(Stored("E: Speed"), (StoredValue{REGTYPE_DWORD, {24, 0, 0, 0}}));
    EXPECT_EQ(
        Stored("E: Detected"),
        (StoredValue{REGTYPE_BINARY, {4, 0, 0xC2, 0x02, 8, 0, 0x84, 0x05, 24, 0, 0x8A, 0x10}}));
}

TEST_F(CDRomSettingsTest, SaveKeepsTheLow16BitsOfLargeNumbers) {
    m_drive.m_aSpeeds = {{0x12345, 70000}};
    SaveWithCreatedKey(m_drive);
    EXPECT_EQ(Stored("E: Detected"), (StoredValue{REGTYPE_BINARY, {0x45, 0x23, 0x70, 0x11}}));
}

TEST_F(CDRomSettingsTest, SaveOfAnEmptyListWritesModelAndSpeedAndKeepsAnOlderList) {
    PutDetected({4, 8});
    const auto older = Stored("E: Detected");
    SaveWithCreatedKey(m_drive);

    EXPECT_EQ(Registry().Writes(), (std::vector<std::string>{"E: Model", "E: Speed"}));
    EXPECT_EQ(Stored("E: Detected"), older);
}

TEST_F(CDRomSettingsTest, SaveWithEmptyIdentificationStoresTheSeparatorsOnly) {
    CCDRom blank(m_sim.Platform(), "F:\\");
    SaveWithCreatedKey(blank);
    EXPECT_EQ(Registry().Get(REGKEY_CURRENT_USER, SETTINGS_KEY, "F: Model"),
              (StoredValue{REGTYPE_SZ, Text(";;;")}));
}

// Where a save goes and when it stops.

TEST_F(CDRomSettingsTest, SaveWithoutAKeyNeverCreatesOne) {
    m_drive.SaveSettings(REGKEY_NULL);
    EXPECT_FALSE(Registry().HasKey(REGKEY_CURRENT_USER, SETTINGS_KEY));
    EXPECT_TRUE(Registry().Writes().empty());
}

TEST_F(CDRomSettingsTest, SaveWithoutAKeyOpensTheExistingOneAndClosesIt) {
    PutModel();
    m_drive.SaveSettings(REGKEY_NULL);
    EXPECT_EQ(Stored("E: Speed"), (StoredValue{REGTYPE_DWORD, {24, 0, 0, 0}}));
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

TEST_F(CDRomSettingsTest, SaveGoesUnderTheChosenRoot) {
    CPlatform machineWide = m_sim.Platform();
    machineWide.registryRoot = REGKEY_LOCAL_MACHINE;
    CCDRom drive(machineWide, "E:\\");
    const RegKey hKey = CCDRom::OpenSettingsKey(machineWide, true);
    drive.SaveSettings(hKey);
    Registry().CloseKey(hKey);

    EXPECT_TRUE(Registry().Get(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "E: Speed"));
    EXPECT_FALSE(Registry().HasKey(REGKEY_CURRENT_USER, SETTINGS_KEY));
}

TEST_F(CDRomSettingsTest, AFailedWriteStopsTheSaveOfThatDrive) {
    m_drive.m_aSpeeds = {{4, 706}};
    Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "E: Model");
    SaveWithCreatedKey(m_drive);
    EXPECT_TRUE(Registry().Writes().empty());

    CCDRom other(m_sim.Platform(), "F:\\");
    other.m_aSpeeds = {{4, 706}};
    Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "F: Speed");
    SaveWithCreatedKey(other);
    EXPECT_EQ(Registry().Writes(), (std::vector<std::string>{"F: Model"}));
}

// What a load takes, and what it leaves alone.

TEST_F(CDRomSettingsTest, LoadTakesBackWhatASaveStored) {
    CCDRom source(m_sim.Platform(), "E:\\");
    source.m_nSelSpeed = 16;
    source.m_aSpeeds = {{4, 706}, {16, 2816}, {40, 7040}};
    SaveWithCreatedKey(source);

    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 16);
    EXPECT_EQ(m_drive.m_aSpeeds, source.m_aSpeeds);
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

TEST_F(CDRomSettingsTest, LoadedSpeedsStopAtTheDrivesMaximumOrElseAtTheLastStoredSpeed) {
    PutModel();
    PutDetected({4, 8, 16, 24, 32, 40});

    m_drive.m_nMaxSpeed = 32;
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(LoadedSpeeds(), (std::vector<int>{4, 8, 16, 24, 32}));

    m_drive.m_nMaxSpeed = 0;
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(LoadedSpeeds(), (std::vector<int>{4, 8, 16, 24, 32, 40}));
}

TEST_F(CDRomSettingsTest, LoadDropsSpeedZeroAndSpeedsAboveTheLimitAndKeepsStoredOrder) {
    PutModel();
    PutDetected({8, 0, 4, 48, 16});
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(LoadedSpeeds(), (std::vector<int>{8, 4, 16}));
}

TEST_F(CDRomSettingsTest, LoadReadsWholeEntriesOnlyWithUnsignedNumbers) {
    PutModel();
    Put("E: Detected", REGTYPE_BINARY, {20, 0, 0xFF, 0xFF, 8, 0});
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_aSpeeds, (std::vector<SPEED_ENTRY>{{20, 65535}}));

    m_drive.m_aSpeeds = {{4, 706}};
    Put("E: Detected", REGTYPE_BINARY, {20, 0, 0});
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(LoadedSpeeds(), (std::vector<int>{4}));
}

TEST_F(CDRomSettingsTest, LoadTakesASavedSpeedFromOneUpToTheMaximum) {
    PutModel();
    PutSpeed(0);
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24);

    PutSpeed(41);
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24);

    PutSpeed(40);
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 40);

    PutSpeed(1);
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 1);
}

TEST_F(CDRomSettingsTest, LoadIgnoresASpeedWhileTheMaximumIsUnknown) {
    PutModel();
    PutSpeed(8);
    m_drive.m_nMaxSpeed = 0;
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24);
}

TEST_F(CDRomSettingsTest, AStoredModelOfAnotherDriveStillHandsOverItsValues) {
    Registry().PutString(REGKEY_CURRENT_USER, SETTINGS_KEY, "E: Model", "OTHER;DRIVE;9.99;");
    PutSpeed(8);
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 8);
}

// Values that are missing, mistyped or too long.

TEST_F(CDRomSettingsTest, WithoutAReadableModelNothingIsLoaded) {
    PutSpeed(8);
    PutDetected({4, 8});
    m_drive.m_aSpeeds = {{24, 4224}};
    const auto before = m_drive.m_aSpeeds;

    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24) << "no model";

    Put("E: Model", REGTYPE_BINARY, Text("A;B;C;D"));
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24) << "model of the wrong type";

    Put("E: Model", REGTYPE_SZ, std::vector<BYTE>(200, 'x'));
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24) << "model over the 199-byte limit";
    EXPECT_EQ(m_drive.m_aSpeeds, before);
}

TEST_F(CDRomSettingsTest, AModelThatFitsCountsWhetherTerminatedOrNot) {
    PutSpeed(8);
    Put("E: Model", REGTYPE_SZ, std::vector<BYTE>(199, 'x'));
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 8);

    PutSpeed(16);
    Put("E: Model", REGTYPE_SZ, {});
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 16);
}

TEST_F(CDRomSettingsTest, ASpeedOfAnotherTypeOrSizeIsIgnored) {
    PutModel();
    Put("E: Speed", REGTYPE_SZ, Text("8"));
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24) << "REG_SZ";

    Put("E: Speed", REGTYPE_BINARY, {8, 0, 0, 0});
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24) << "REG_BINARY";

    Put("E: Speed", REGTYPE_DWORD, {8, 0});
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24) << "2 bytes";

    Put("E: Speed", REGTYPE_DWORD, {8, 0, 0, 0, 0, 0, 0, 0});
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24) << "8 bytes";
}

TEST_F(CDRomSettingsTest, ADetectedListOfAnotherTypeOrOverTheLimitIsIgnored) {
    PutModel();
    m_drive.m_aSpeeds = {{24, 4224}};
    const auto before = m_drive.m_aSpeeds;

    Put("E: Detected", REGTYPE_DWORD, {4, 0, 0xC0, 0x02});
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_aSpeeds, before) << "REG_DWORD";

    std::vector<BYTE> aTooLong(804, 0);
    aTooLong[0] = 4;
    Put("E: Detected", REGTYPE_BINARY, aTooLong);
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_aSpeeds, before) << "201 entries";

    aTooLong.resize(800);
    Put("E: Detected", REGTYPE_BINARY, aTooLong);
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(LoadedSpeeds(), (std::vector<int>{4})) << "200 entries";
}

TEST_F(CDRomSettingsTest, LoadWithoutAKeyChangesNothingAndCreatesNothing) {
    m_drive.m_aSpeeds = {{24, 4224}};
    m_drive.LoadSettings(REGKEY_NULL);
    EXPECT_EQ(m_drive.m_nSelSpeed, 24);
    EXPECT_EQ(m_drive.m_aSpeeds, (std::vector<SPEED_ENTRY>{{24, 4224}}));
    EXPECT_FALSE(Registry().HasKey(REGKEY_CURRENT_USER, SETTINGS_KEY));
}

// The whole list at once.

class CDRomListSettingsTest : public ::testing::Test {
protected:
    CSimFixture m_sim{NtMachine({Cdrom("E:\\"), Cdrom("F:\\"), Cdrom("G:\\")})};
    std::unique_ptr<CCDRomList> Identified() {
        CCDRom::SelectTransport(m_sim.Platform());
        auto pList = CCDRomList::Build(m_sim.Platform());
        pList->IdentifyAll();
        return pList;
    }
};

TEST_F(CDRomListSettingsTest, SaveAllWritesTheLastDriveFirst) {
    auto pList = Identified();
    pList->SaveAll();
    EXPECT_EQ(m_sim.Registry().Writes(),
              (std::vector<std::string>{"G: Model", "G: Speed", "F: Model", "F: Speed", "E: Model",
                                        "E: Speed"}));
    EXPECT_EQ(m_sim.Registry().OpenKeyCount(), 0);
}

TEST_F(CDRomListSettingsTest, SaveAllGoesOnAfterADriveWhoseWriteFailed) {
    m_sim.Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "F: Model");
    auto pList = Identified();
    pList->SaveAll();
    EXPECT_EQ(m_sim.Registry().Writes(),
              (std::vector<std::string>{"G: Model", "G: Speed", "E: Model", "E: Speed"}));
}

TEST_F(CDRomListSettingsTest, LoadAllRestoresEveryDrive) {
    auto pSaved = Identified();
    for (int nDevice = 0; nDevice < pSaved->GetCount(); ++nDevice)
        pSaved->GetAt(nDevice)->m_nSelSpeed = 4 * (nDevice + 1);
    pSaved->SaveAll();

    auto pList = Identified();
    pList->LoadAll();
    EXPECT_EQ(pList->GetAt(0)->m_nSelSpeed, 4);
    EXPECT_EQ(pList->GetAt(1)->m_nSelSpeed, 8);
    EXPECT_EQ(pList->GetAt(2)->m_nSelSpeed, 12);
    EXPECT_EQ(m_sim.Registry().OpenKeyCount(), 0);
}

TEST_F(CDRomListSettingsTest, LoadAllWithoutTheKeyChangesNoDrive) {
    auto pList = Identified();
    pList->GetAt(0)->m_nSelSpeed = 7;
    pList->LoadAll();
    EXPECT_EQ(pList->GetAt(0)->m_nSelSpeed, 7);
    EXPECT_FALSE(m_sim.Registry().HasKey(REGKEY_CURRENT_USER, SETTINGS_KEY));
}

TEST(CDRomListEmptySettingsTest, SaveAllOfAnEmptyListCreatesTheKeyAndWritesNothing) {
    CSimFixture sim(NtMachine({}));
    auto pList = CCDRomList::Build(sim.Platform());
    pList->SaveAll();
    EXPECT_TRUE(sim.Registry().HasKey(REGKEY_CURRENT_USER, SETTINGS_KEY));
    EXPECT_TRUE(sim.Registry().Writes().empty());
}

} // namespace
} // namespace qv::test
