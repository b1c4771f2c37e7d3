// A drive's saved values: the exact bytes a save stores, what a load takes back, and which stored
// values a load counts as absent.
#include "device/DriveSettings.h"
#include "device/CDRomList.h"
#include "tests/support/ScriptedTransport.h"
#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace qv::test {
namespace {

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

Speeds Entries(const std::vector<int>& aSpeeds) {
    Speeds aEntries;
    for (int nSpeed : aSpeeds)
        aEntries.push_back({nSpeed, nSpeed * 176});
    return aEntries;
}

class DriveSettingsTest : public ::testing::Test {
protected:
    // Identified from a reply of these texts, with a page that tells nMaxSpeed (0: a rate below
    // 1x, which tells none), running at 24x; or never answering at all.
    CCDRom& Drive(int nMaxSpeed = 40, const char* pszVendor = "QRVX", bool bAnswers = true,
                  const std::string& strRoot = "E:\\") {
        m_apDrives.push_back(std::make_unique<CCDRom>(m_sim.Platform(), strRoot, &m_transport));
        CCDRom& drive = *m_apDrives.back();
        drive.Identify();
        // No vendor: a reply of nothing but its length.
        Bytes aInquiry = InquiryReply(pszVendor, "CD-ROM 40X", "Special");
        if (!*pszVendor)
            aInquiry.assign(INQUIRY_REPLY_SIZE, 0);
        aInquiry[4] = 91;
        m_transport.AnswerIdentification(
            aInquiry, bAnswers ? CMD_OK : CMD_FAILED,
            bAnswers ? PageReply(nMaxSpeed ? nMaxSpeed * 176 : 100, 24 * 176) : Bytes{},
            drive.Drive());
        drive.SelectCurrentSpeed();
        return drive;
    }
    std::optional<StoredValue> Stored(const std::string& strName) {
        return m_sim.Registry().Get(REGKEY_CURRENT_USER, SETTINGS_KEY, strName);
    }
    void Put(const std::string& strName, DWORD dwType, Bytes aData) {
        m_sim.Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, strName,
                             {dwType, std::move(aData)});
    }
    void Save(CCDRom& drive) {
        CSettingsKey key(m_sim.Registry(), REGKEY_CURRENT_USER, true, SETTINGS_CREATE_ACCESS);
        SaveDriveSettings(key, drive);
    }

    CSimFixture m_sim{NtMachine({})};
    CScriptedTransport m_transport;
    std::vector<std::unique_ptr<CCDRom>> m_apDrives;
};

// What a save stores, and where.

TEST_F(DriveSettingsTest, SaveStoresModelSpeedAndDetectedWithTheirExactBytes) {
    CCDRom& drive = Drive();
    // The last entry keeps only the low 16 bits of its rate.
    drive.TakeSavedValues(std::nullopt, {{4, 706}, {8, 1412}, {24, 4234}, {40, 70000}});
    Save(drive);
    EXPECT_EQ(Stored("E: Model"), StoredText("QRVX;CD-ROM 40X;1.02;Special"));
    EXPECT_EQ(Stored("E: Speed"), (StoredValue{REGTYPE_DWORD, {24, 0, 0, 0}}));
    EXPECT_EQ(Stored("E: Detected"), (StoredValue{REGTYPE_BINARY,
                                                  {4, 0, 0xC2, 0x02, 8, 0, 0x84, 0x05, 24, 0, 0x8A,
                                                   0x10, 40, 0, 0x70, 0x11}}));
}

// A drive whose INQUIRY failed is saved with its separators; one that never gave its page keeps
// what an earlier save stored, and so does an empty list.
TEST_F(DriveSettingsTest, ADriveThatToldLittleOrNothingKeepsWhatWasStoredBefore) {
    Put("F: Detected", REGTYPE_BINARY, DetectedBytes({4, 8}));
    Put("G: Speed", REGTYPE_DWORD, {8, 0, 0, 0});
    Save(Drive(40, "", true, "F:\\"));
    Save(Drive(40, "", false, "G:\\"));
    EXPECT_EQ(m_sim.Registry().Writes(), (std::vector<std::string>{"F: Model", "F: Speed"}));
    EXPECT_EQ(Stored("F: Model"), StoredText(";;;"));
    EXPECT_EQ(Stored("F: Detected"), (StoredValue{REGTYPE_BINARY, DetectedBytes({4, 8})}));
    EXPECT_EQ(Stored("G: Speed"), (StoredValue{REGTYPE_DWORD, {8, 0, 0, 0}}));
}

TEST_F(DriveSettingsTest, AFailedWriteStopsTheSaveOfThatDriveAndTheListGoesOn) {
    CSimFixture sim(NtMachine({Cdrom("E:\\"), Cdrom("F:\\"), Cdrom("G:\\")}));
    sim.Registry().FailSetValue(REGKEY_CURRENT_USER, SETTINGS_KEY, "F: Model");
    const auto pList = CCDRomList::Build(sim.Platform(), &m_transport);
    pList->IdentifyAll();
    for (const char* pszDrive : {"E:", "F:", "G:"})
        m_transport.AnswerIdentification({}, CMD_OK, PageReply(0, 0), pszDrive);
    pList->SaveAll();
    EXPECT_EQ(sim.Registry().Writes(),
              (std::vector<std::string>{"G: Model", "G: Speed", "E: Model", "E: Speed"}));
    EXPECT_EQ(sim.Registry().OpenKeyCount(), 0);
}

// What a load takes, and what it leaves alone.

TEST_F(DriveSettingsTest, ModelDecidesWhetherAnythingIsLoadedButIsNeverCompared) {
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
    CCDRom& drive = Drive();
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        if (c.model)
            Put("E: Model", c.model->dwType, c.model->aData);
        Put("E: Speed", REGTYPE_DWORD, {8, 0, 0, 0});
        Put("E: Detected", REGTYPE_BINARY, DetectedBytes({4, 8}));
        drive.SetSelSpeed(24);
        drive.TakeSavedValues(std::nullopt, {{24, 4224}});
        EXPECT_EQ(LoadDriveSettings(m_sim.Platform(), drive), c.bLoaded ? 8 : 0);
        EXPECT_EQ(drive.Snapshot().nSelSpeed, c.bLoaded ? 8 : 24);
        EXPECT_EQ(drive.GetSpeeds(), (c.bLoaded ? Entries({4, 8}) : Speeds{{24, 4224}}));
    }
    EXPECT_EQ(m_sim.Registry().OpenKeyCount(), 0);
}

TEST_F(DriveSettingsTest, ASpeedIsTakenFromOneUpToTheMaximumAsAFourByteDword) {
    struct Case {
        const char* pszWhat;
        StoredValue speed;
        int nMaxSpeed;
        int nSelected; // 24 when the value is ignored
    };
    const Case aCases[] = {
        {"0", {REGTYPE_DWORD, {0, 0, 0, 0}}, 40, 24},
        {"above the maximum", {REGTYPE_DWORD, {41, 0, 0, 0}}, 40, 24},
        {"far above", {REGTYPE_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}, 40, 24},
        {"the maximum", {REGTYPE_DWORD, {40, 0, 0, 0}}, 40, 40},
        {"1", {REGTYPE_DWORD, {1, 0, 0, 0}}, 40, 1},
        {"maximum unknown", {REGTYPE_DWORD, {8, 0, 0, 0}}, 0, 24},
        {"REG_BINARY", {REGTYPE_BINARY, {8, 0, 0, 0}}, 40, 24},
        {"2 bytes", {REGTYPE_DWORD, {8, 0}}, 40, 24},
    };
    Put("E: Model", REGTYPE_SZ, StoredText("A;B;C;D").aData);
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        Put("E: Speed", c.speed.dwType, c.speed.aData);
        CCDRom& drive = Drive(c.nMaxSpeed);
        LoadDriveSettings(m_sim.Platform(), drive);
        EXPECT_EQ(drive.Snapshot().nSelSpeed, c.nSelected);
    }
}

TEST_F(DriveSettingsTest, DetectedEntriesAreKeptUpToTheLimitInStoredOrder) {
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
        {"stop at the maximum",
         {REGTYPE_BINARY, DetectedBytes({4, 8, 16, 24, 32, 40})},
         32,
         Entries({4, 8, 16, 24, 32})},
        // What a load keeps, a save stores and the next load keeps again.
        {"an unknown maximum does not stop at the last entry",
         {REGTYPE_BINARY, DetectedBytes({9, 5})},
         0,
         Entries({9, 5})},
        {"an unknown maximum stops at 100x",
         {REGTYPE_BINARY, DetectedBytes({50, 100, 101, 400})},
         0,
         Entries({50, 100})},
        {"drop 0 and speeds above",
         {REGTYPE_BINARY, DetectedBytes({8, 0, 4, 48, 16})},
         40,
         Entries({8, 4, 16})},
        {"6 bytes: one unsigned entry",
         {REGTYPE_BINARY, {20, 0, 0xFF, 0xFF, 8, 0}},
         40,
         Speeds{{20, 65535}}},
        {"3 bytes", {REGTYPE_BINARY, {20, 0, 0}}, 40, std::nullopt},
        {"REG_DWORD", {REGTYPE_DWORD, {4, 0, 0xC0, 0x02}}, 40, std::nullopt},
        {"201 entries", {REGTYPE_BINARY, a201Entries}, 40, std::nullopt},
        {"200 entries", {REGTYPE_BINARY, a200Entries}, 40, Speeds{{4, 0}}},
    };
    Put("E: Model", REGTYPE_SZ, StoredText("A;B;C;D").aData);
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        Put("E: Detected", c.detected.dwType, c.detected.aData);
        CCDRom& drive = Drive(c.nMaxSpeed);
        drive.TakeSavedValues(std::nullopt, {{24, 4224}});
        LoadDriveSettings(m_sim.Platform(), drive);
        EXPECT_EQ(drive.GetSpeeds(), c.loaded.value_or(Speeds{{24, 4224}}));
    }
}

} // namespace
} // namespace qv::test
