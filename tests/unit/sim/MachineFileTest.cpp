// The machine file is an interface: its names and meanings are fixed, and a mistake in it, down
// to a number no double holds, a field named twice or a drive where no ASPI manager could report
// it, is reported with the field that holds it.
#include "sim/MachineFile.h"

#include <gtest/gtest.h>

#include <tuple>

namespace qv::sim {
namespace {

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

constexpr const char* ASPI_EXAMPLE = R"({ "platform": "9x",
  "drives": [
    { "root": "C:\\", "type": "fixed" },
    { "root": "E:\\", "type": "cdrom", "aspiAddress": { "adapter": 1, "target": 12 } },
    { "root": "G:\\", "type": "cdrom", "aspiAddress": { "adapter": 0, "target": 7 } } ],
  "aspi": { "adapters": [ { "targets": 0 }, { "targets": 16 } ], "entryPoints": true,
            "supportInfo": 258, "diskInfoFails": false, "completionDelayMs": 5,
            "order": "newestFirst" } })";

TEST(MachineFile, ReadsTheDocumentedExamples) {
    const auto machine = ParseMachine(EXAMPLE);
    ASSERT_EQ(machine.aDrives.size(), 3u);
    ASSERT_TRUE(machine.aDrives[2].cdrom);
    const SimCdromConfig& cdrom = *machine.aDrives[2].cdrom;
    EXPECT_EQ(std::tie(machine.platform, cdrom.strProduct, cdrom.aSpeeds, cdrom.address.nPort),
              std::tuple(SimPlatform::Nt, "CD-ROM 40X", std::vector{4, 8, 16, 24, 32, 40}, 1));
    EXPECT_EQ(cdrom.mapRates, (std::map<int, int>{{24, 4234}}));
    EXPECT_FALSE(cdrom.aspi || machine.aDrives[0].cdrom);

    const auto aspi = ParseMachine(ASPI_EXAMPLE);
    EXPECT_EQ(std::tie(aspi.platform, aspi.aspi.bInstalled, aspi.aspi.aAdapterTargets,
                       aspi.aspi.nSupportInfo, aspi.aspi.order, aspi.aDrives[1].cdrom->aspi),
              std::tuple(SimPlatform::Win9x, true, std::vector{0, 16}, 0x0102u,
                         SimAspiOrder::NewestFirst, SimAspiAddress{1, 12}));
}

// The field a machine file's first mistake is reported against, or "(accepted)"; a text that starts
// with '/' is the path of a file to load.
std::string FieldOf(const std::string& strJson) {
    try {
        strJson.starts_with('/') ? LoadMachineFile(strJson) : ParseMachine(strJson);
    } catch (const CMachineFileError& error) {
        return error.Field();
    }
    return "(accepted)";
}

// A machine of one CD-ROM drive E: at 8, 16 and 24x with these fields added.
std::string CdromWith(const std::string& strFields) {
    return R"({"drives": [{"root": "E:\\", "type": "cdrom", "speeds": [8, 16, 24], )" + strFields +
           "}]}";
}

// The ASPI example with one piece of text replaced.
std::string AspiWith(const std::string& strFrom, const std::string& strTo) {
    std::string strJson = ASPI_EXAMPLE;
    const auto nAt = strJson.find(strFrom);
    EXPECT_NE(nAt, std::string::npos) << strFrom;
    return strJson.replace(nAt, strFrom.size(), strTo);
}

TEST(MachineFile, AMistakeNamesItsField) {
    const std::pair<std::string, const char*> aCases[] = {
        // Not JSON, not a machine, or no file at all.
        {R"({"drives": [)", "drives[0]"},
        {"/nonexistent/machine.json", "(file)"},
        {R"({"drives": []} x)", "(file)"},
        // Numbers no double holds, in an object and in a list.
        {R"({"drives": [{"root": "E:\\", "type": "cdrom", "speeds": [8, 1e400]}]})",
         "drives[0].speeds[1]"},
        // Field names that are repeated or empty.
        {CdromWith(R"("rates": {"16": 2816, "16": 3000})"), "drives[0].rates.16"},
        // Speeds a rate is given for: plain digits naming one of the drive's speeds.
        {CdromWith(R"("rates": {"+16": 1})"), "drives[0].rates.+16"},
        {CdromWith(R"("rates": {"12": 1})"), "drives[0].rates.12"},
        {R"({"drives": [], "extra": 1})", "extra"},
        {AspiWith(R"({ "targets": 0 })", R"({ "targets": 0, "luns": 8 })"),
         "aspi.adapters[0].luns"},
        {R"({"drives": [{"root": "C:\\", "type": "floppy"}]})", "drives[0].type"},
        {R"({"drives": [{"root": "E:\\", "type": "cdrom", "speeds": [8, 16.5]}]})",
         "drives[0].speeds[1]"},
        // Speeds: some, each once, the current one among them.
        {R"({"drives": [{"root": "E:\\", "type": "cdrom", "speeds": [8, 8]}]})",
         "drives[0].speeds"},
        {CdromWith(R"("current": 12)"), "drives[0].current"},
        {R"({"drives": [{"root": "E:\\", "type": "cdrom"}, {"root": "e:\\", "type": "fixed"}]})",
         "drives[1].root"},
        // Every drive the manager reports sits alone on a target its adapter has; an adapter
        // reporting 0 has 8.
        {R"({ "drives": [ { "root": "E:\\", "type": "cdrom",
              "aspiAddress": { "adapter": 0, "target": 0 } } ] })",
         "drives[0].aspiAddress.adapter"},
        {AspiWith(R"("adapter": 0, "target": 7)", R"("adapter": 0, "target": 8)"),
         "drives[2].aspiAddress.target"},
        {AspiWith(R"("adapter": 0, "target": 7)", R"("adapter": 1, "target": 12)"),
         "drives[2].aspiAddress"},
    };
    for (const auto& [strJson, pszField] : aCases)
        EXPECT_EQ(FieldOf(strJson), pszField) << strJson;
}

} // namespace
} // namespace qv::sim
