// The scan gives each drive letter the address at which the ASPI manager reports it; only the
// drives it finds are identified.
#include "device/CDRomASPI.h"
#include "device/CDRomList.h"
#include "tests/support/AspiMachine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace qv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The blocks of the scan: everything from the timeout setting up to the first SCSI command.
std::vector<sim::SimAspiCall> ScanCalls(const sim::CSimAspiManager& aspi) {
    const auto aCalls = aspi.Calls();
    const auto itStart = std::find_if(aCalls.begin(), aCalls.end(), [](const auto& call) {
        return call.nCmd == SC_GETSET_TIMEOUTS;
    });
    const auto itEnd = std::find_if(itStart, aCalls.end(),
                                    [](const auto& call) { return call.nCmd == SC_EXEC_SCSI_CMD; });
    return {itStart, itEnd};
}

class AspiScan : public ::testing::Test {
protected:
    std::unique_ptr<CCDRomList> Identify(sim::SimMachineConfig machine) {
        m_pSim = std::make_unique<CSimFixture>(std::move(machine));
        EXPECT_EQ(CCDRom::SelectTransport(m_pSim->Platform()), TRANSPORT_ASPI);
        auto pList = CCDRomList::Build(m_pSim->Platform());
        pList->IdentifyAll();
        EXPECT_TRUE(pList->WaitForIdentification(THREAD_WAIT_LIMIT));
        return pList;
    }
    sim::CSimAspiManager& Aspi() { return m_pSim->Machine().Aspi(); }

    std::unique_ptr<CSimFixture> m_pSim;
};

TEST_F(AspiScan, AnAdapterIsScannedForTheTargetsItReports) {
    // F: is never found, so every target of every adapter is asked for.
    auto pList = Identify(AspiMachine({AspiCdrom("E:\\", 0, 3), Cdrom("F:\\")}, {0, 16}));
    const auto aCalls = ScanCalls(Aspi());
    const auto DiskInfoCount = [&aCalls](int nAdapter) {
        return std::count_if(aCalls.begin(), aCalls.end(), [nAdapter](const auto& call) {
            return call.nCmd == SC_GET_DISK_INFO && call.nHaId == nAdapter;
        });
    };
    EXPECT_EQ(DiskInfoCount(0), 8); // HA_Unique byte 3 of 0 means 8
    EXPECT_EQ(DiskInfoCount(1), 16);
}

// Only the drives the scan finds are identified, each at its own address.
TEST_F(AspiScan, AddressesTheDeviceOfTheLetterTheManagerReportsAndNoOther) {
    sim::SimCdromConfig cdrom;
    cdrom.strProduct = "CD-ROM 32X";
    auto pList = Identify(AspiMachine({Cdrom("D:\\"), AspiCdrom("E:\\", 1, 4, cdrom)}, {0, 0}));
    const DRIVE_STATE e = pList->GetAt(1)->Snapshot();
    EXPECT_TRUE(e.bUsable);
    EXPECT_EQ(e.nHaId, 1);
    EXPECT_EQ(e.nTarget, 4);
    EXPECT_EQ(e.nLun, 0);
    EXPECT_EQ(e.strProduct, "CD-ROM 32X"); // identified through ASPI
    EXPECT_FALSE(pList->GetAt(0)->IsUsable());
    EXPECT_THAT(m_pSim->Machine().Drive('D')->Commands(), IsEmpty());
}

TEST_F(AspiScan, EndsAsSoonAsEveryDriveIsFound) {
    auto pList = Identify(AspiMachine({AspiCdrom("E:\\", 0, 0), AspiCdrom("G:\\", 0, 1)}, {0, 0}));
    EXPECT_THAT(ScanCalls(Aspi()),
                ElementsAre(sim::SimAspiCall{SC_GETSET_TIMEOUTS, ASPI_ALL, ASPI_ALL},
                            sim::SimAspiCall{SC_HA_INQUIRY, 0, 0},
                            sim::SimAspiCall{SC_GET_DISK_INFO, 0, 0},
                            sim::SimAspiCall{SC_GET_DISK_INFO, 0, 1}));
    EXPECT_EQ(Aspi().LastTimeout(), 20u);
}

TEST_F(AspiScan, AManagerWithoutAdaptersMakesNoDriveUsable) {
    m_pSim = std::make_unique<CSimFixture>(AspiMachine({AspiCdrom("E:\\", 0, 0)}));
    ASSERT_EQ(CCDRom::SelectTransport(m_pSim->Platform()), TRANSPORT_ASPI);
    const auto pList = CCDRomList::Build(m_pSim->Platform());
    sim::SimAspiConfig empty;
    empty.bInstalled = true;
    sim::CSimAspiManager noAdapters(empty, {});
    ASSERT_TRUE(noAdapters.Load());
    CCDRomASPI::ScanAspiDevices(noAdapters, *pList);
    EXPECT_THAT(noAdapters.Calls(), IsEmpty());
    EXPECT_FALSE(pList->AnyUsable());
    EXPECT_THAT(m_pSim->Machine().Drive('E')->Commands(), IsEmpty());
}

} // namespace
} // namespace qv::test
