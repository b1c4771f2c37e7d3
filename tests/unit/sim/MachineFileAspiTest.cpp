// The ASPI part of the machine file: which manager is installed and where it finds each drive.
// A layout that no manager could report is an error that names its field.
#include "sim/MachineFile.h"
#include "tests/support/MachineFieldOf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv::sim {
namespace {

using ::testing::ElementsAre;

constexpr const char* EXAMPLE = R"({ "platform": "9x",
  "drives": [
    { "root": "C:\\", "type": "fixed" },
    { "root": "E:\\", "type": "cdrom", "aspiAddress": { "adapter": 1, "target": 12 } },
    { "root": "G:\\", "type": "cdrom", "aspiAddress": { "adapter": 0, "target": 7 } } ],
  "aspi": { "adapters": [ { "targets": 0 }, { "targets": 16 } ], "entryPoints": true,
            "supportInfo": 258, "diskInfoFails": false, "completionDelayMs": 5,
            "order": "newestFirst" } })";

std::string FieldOf(const std::string& strJson) {
    return test::MachineFieldOf(strJson);
}

// The example with one piece of text replaced.
std::string Changed(const std::string& strFrom, const std::string& strTo) {
    std::string strJson = EXAMPLE;
    const auto nAt = strJson.find(strFrom);
    EXPECT_NE(nAt, std::string::npos) << strFrom;
    return strJson.replace(nAt, strFrom.size(), strTo);
}

TEST(MachineFileAspi, ReadsTheManagerAndTheAddressOfEachDrive) {
    const auto machine = ParseMachine(EXAMPLE);
    EXPECT_EQ(machine.platform, SimPlatform::Win9x);
    EXPECT_TRUE(machine.aspi.bInstalled);
    EXPECT_TRUE(machine.aspi.bEntryPoints);
    EXPECT_THAT(machine.aspi.aAdapterTargets, ElementsAre(0, 16));
    EXPECT_EQ(machine.aspi.nSupportInfo, 0x0102u);
    EXPECT_EQ(machine.aspi.nCompletionDelayMs, 5);
    EXPECT_EQ(machine.aspi.order, SimAspiOrder::NewestFirst);
    EXPECT_EQ(machine.aDrives[1].cdrom->aspi, (SimAspiAddress{1, 12}));
    EXPECT_EQ(machine.aDrives[2].cdrom->aspi, (SimAspiAddress{0, 7}));
}

TEST(MachineFileAspi, WithoutTheSectionNoManagerIsInstalled) {
    const auto machine = ParseMachine(R"({ "drives": [ { "root": "E:\\", "type": "cdrom" } ] })");
    EXPECT_FALSE(machine.aspi.bInstalled);
    EXPECT_FALSE(machine.aDrives[0].cdrom->aspi);
    EXPECT_EQ(FieldOf(R"({ "drives": [ { "root": "E:\\", "type": "cdrom",
                           "aspiAddress": { "adapter": 0, "target": 0 } } ] })"),
              "drives[0].aspiAddress.adapter");
}

TEST(MachineFileAspi, AMistakeNamesItsField) {
    struct Case {
        const char* pszFrom;
        const char* pszTo;
        const char* pszField;
    };
    const Case aCases[] = {
        {R"("order": "newestFirst")", R"("order": "random")", "aspi.order"},
        {R"("entryPoints": true)", R"("libraryName": "x")", "aspi.libraryName"},
        {R"({ "targets": 0 })", R"({ "targets": 0, "luns": 8 })", "aspi.adapters[0].luns"},
        {R"({ "targets": 16 })", R"({ "targets": 256 })", "aspi.adapters[1].targets"},
        {R"("supportInfo": 258)", R"("supportInfo": 65536)", "aspi.supportInfo"},
        {R"("adapter": 1, "target": 12)", R"("adapter": 1, "lun": 0)", "drives[1].aspiAddress.lun"},
        // Every drive sits alone on a target its adapter has; an adapter reporting 0 has 8.
        {R"("adapter": 1, "target": 12)", R"("adapter": 2, "target": 0)",
         "drives[1].aspiAddress.adapter"},
        {R"("adapter": 0, "target": 7)", R"("adapter": 0, "target": 8)",
         "drives[2].aspiAddress.target"},
        {R"("adapter": 1, "target": 12)", R"("adapter": 1, "target": 16)",
         "drives[1].aspiAddress.target"},
        {R"("adapter": 0, "target": 7)", R"("adapter": 1, "target": 12)", "drives[2].aspiAddress"},
    };
    for (const Case& c : aCases)
        EXPECT_EQ(FieldOf(Changed(c.pszFrom, c.pszTo)), c.pszField) << c.pszTo;
}

} // namespace
} // namespace qv::sim
