// The machine file is an interface: its names and meanings are fixed, and a mistake in it is
// reported with the field that holds it.
#include "sim/MachineFile.h"
#include "platform/DriveService.h"
#include "sim/SimMachine.h"
#include "tests/support/MachineFieldOf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv::sim {
namespace {

using ::testing::ElementsAre;

constexpr const char* EXAMPLE = R"({ "platform": "nt",
  "drives": [
    { "root": "C:\\", "type": "fixed" },
    { "root": "F:\\", "type": "remote" },
    { "root": "E:\\", "type": "cdrom",
      "vendor": "QRVX", "product": "CD-ROM 40X", "revision": "1.02", "vendorInfo": "",
      "inquiryByte3": 2, "additionalLength": 91, "removable": true, "inquiryFails": false,
      "address": { "port": 1, "pathId": 0, "targetId": 0, "lun": 0 },
      "speeds": [4, 8, 16, 24, 32, 40], "current": 40, "rates": { "24": 4234 }, "maxRate": 7056,
      "blockDescriptorLength": 0, "modeSense6": true, "setSpeed": "accept", "alwaysReportsZero": false,
      "latencyMs": 0 } ] })";

std::string FieldOf(const std::string& strJson) {
    return test::MachineFieldOf(strJson);
}

TEST(MachineFile, ReadsTheDocumentedExample) {
    const auto machine = ParseMachine(EXAMPLE);
    EXPECT_EQ(machine.platform, SimPlatform::Nt);
    ASSERT_EQ(machine.aDrives.size(), 3u);
    const auto& drive = machine.aDrives[2];
    EXPECT_EQ(drive.strRoot, "E:\\");
    EXPECT_EQ(drive.nType, DRIVETYPE_CDROM);
    ASSERT_TRUE(drive.cdrom);
    EXPECT_EQ(drive.cdrom->strProduct, "CD-ROM 40X");
    EXPECT_THAT(drive.cdrom->aSpeeds, ElementsAre(4, 8, 16, 24, 32, 40));
    EXPECT_EQ(drive.cdrom->mapRates.at(24), 4234);
    EXPECT_EQ(drive.cdrom->nMaxRate, 7056);
    EXPECT_EQ(drive.cdrom->address.nPort, 1);
    EXPECT_FALSE(machine.aDrives[0].cdrom);
}

TEST(MachineFile, TheMachineReportsDrivesInLetterOrderWhateverTheFileOrder) {
    CSimMachine machine(ParseMachine(EXAMPLE));
    char szRoots[64] = {};
    const DWORD nLength = machine.GetLogicalDriveStrings(sizeof szRoots, szRoots);
    EXPECT_EQ(std::string(szRoots, nLength), std::string("C:\\\0E:\\\0F:\\\0", 12));
    EXPECT_EQ(machine.GetDriveType("F:\\"), DRIVETYPE_REMOTE);
    EXPECT_EQ(machine.GetDriveType("e:\\"), DRIVETYPE_CDROM);
    EXPECT_EQ(machine.GetDriveType("Q:\\"), DRIVETYPE_NO_ROOT_DIR);
}

TEST(MachineFile, MistakesNameTheirField) {
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "C:\\", "type": "fixed", "colour": 1}]})"),
              "drives[0].colour");
    EXPECT_EQ(FieldOf(R"({"drives": [], "extra": 1})"), "extra");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "C:\\", "type": "floppy"}]})"), "drives[0].type");
    EXPECT_EQ(FieldOf(R"({"platform": "nt4", "drives": []})"), "platform");
    EXPECT_EQ(FieldOf(R"({"platform": "nt"})"), "drives");
    EXPECT_EQ(FieldOf(R"({"drives": [{"type": "fixed"}]})"), "drives[0].root");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "C:", "type": "fixed"}]})"), "drives[0].root");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom", "speeds": [8, "16"]}]})"),
              "drives[0].speeds[1]");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom", "speeds": []}]})"),
              "drives[0].speeds");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom", "current": 12}]})"),
              "drives[0].current");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom", "rates": {"12": 1}}]})"),
              "drives[0].rates.12");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom", "setSpeed": "maybe"}]})"),
              "drives[0].setSpeed");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom", "vendor": "TOO LONG!"}]})"),
              "drives[0].vendor");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom", "removable": 1}]})"),
              "drives[0].removable");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom",
                                      "address": {"port": 1, "bus": 0}}]})"),
              "drives[0].address.bus");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom", "latencyMs": -1}]})"),
              "drives[0].latencyMs");
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "E:\\", "type": "cdrom"},
                                     {"root": "e:\\", "type": "fixed"}]})"),
              "drives[1].root");
    EXPECT_EQ(FieldOf(R"({"drives": [)"), "(file)");
    EXPECT_EQ(FieldOf(R"([1, 2])"), "(machine)");
}

TEST(MachineFile, DriveFieldsOnlyACdromHasAreRefusedElsewhere) {
    EXPECT_EQ(FieldOf(R"({"drives": [{"root": "C:\\", "type": "fixed", "speeds": [8]}]})"),
              "drives[0].speeds");
}

TEST(MachineFile, AMissingFileIsReportedAsTheFile) {
    try {
        LoadMachineFile("/nonexistent/machine.json");
        FAIL() << "a missing file was accepted";
    } catch (const CMachineFileError& error) {
        EXPECT_EQ(error.Field(), "(file)");
    }
}

TEST(DefaultMachine, HasADiskTwoDifferentCdromDrivesAndAShare) {
    const auto machine = DefaultMachine();
    std::vector<std::pair<std::string, unsigned>> aDrives;
    for (const auto& drive : machine.aDrives)
        aDrives.emplace_back(drive.strRoot, drive.nType);
    EXPECT_THAT(aDrives, ElementsAre(std::pair<std::string, unsigned>{"C:\\", DRIVETYPE_FIXED},
                                     std::pair<std::string, unsigned>{"E:\\", DRIVETYPE_CDROM},
                                     std::pair<std::string, unsigned>{"F:\\", DRIVETYPE_REMOTE},
                                     std::pair<std::string, unsigned>{"G:\\", DRIVETYPE_CDROM}));
    EXPECT_NE(machine.aDrives[1].cdrom->aSpeeds, machine.aDrives[3].cdrom->aSpeeds);
}

} // namespace
} // namespace qv::sim
