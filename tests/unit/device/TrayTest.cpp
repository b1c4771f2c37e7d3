// Ejecting, loading and locking go through the OS on the path of the platform identifier, with
// or without a SCSI transport, and the lock flag shows only a lock the OS has taken.
#include "device/CDRom.h"
#include "device/TrayControl.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <tuple>

namespace qv::test {
namespace {

using ::testing::ElementsAre;
using Op = sim::SimTrayOp;
using Call = sim::SimTrayCall;

constexpr int FAT32 = 0x48;
constexpr int FAT = 0x08;
const Call LOCK32{Op::LockVolume, FAT32};
const Call LOCK{Op::LockVolume, FAT};
const Call STATUS{Op::MediaLockStatus, FAT};
const Call UNLOCK_MEDIA{Op::UnlockMedia, FAT};
const Call EJECT{Op::EjectRemovable, FAT};
const Call UNLOCK32{Op::UnlockVolume, FAT32};
const Call UNLOCK{Op::UnlockVolume, FAT};

class Tray : public ::testing::Test {
protected:
    // E: with this tray, controlled through the drive text of pszRoot.
    void Start(sim::SimPlatform platform, sim::SimTrayConfig tray = {},
               const char* pszRoot = "E:\\") {
        sim::SimCdromConfig cdrom;
        cdrom.tray = std::move(tray);
        auto machine = NtMachine({Cdrom("E:\\", std::move(cdrom))});
        machine.platform = platform;
        m_pDrive.reset(); // it uses the services of the machine it was made on
        m_pSim = std::make_unique<CSimFixture>(std::move(machine));
        m_pDrive = std::make_unique<CTrayControl>(m_pSim->Platform(), CCDRom::DriveText(pszRoot));
    }
    bool Locked() { return m_pDrive->IsLocked(); }
    std::vector<Call> Calls() { return SimTray().Calls(); }
    sim::CSimTray& SimTray() { return *m_pSim->Machine().Tray('E'); }
    int OpenHandles() { return m_pSim->Machine().OpenHandleCount(); }
    void RunTrayThread(bool bEject) {
        ASSERT_TRUE(m_pDrive->StartTrayThread(bEject));
        ASSERT_TRUE(m_pDrive->WaitForTrayThreads(THREAD_WAIT_LIMIT));
    }

    std::unique_ptr<CSimFixture> m_pSim;
    std::unique_ptr<CTrayControl> m_pDrive;
};

// Two tray threads of one drive may run at once, and a lock taken meanwhile stays until the unlock.
TEST_F(Tray, NtEjectOfALockedDriveLiftsTheLockForTheEjectOnly) {
    Start(sim::SimPlatform::Nt);
    m_pDrive->SetMediaLock(true);
    EXPECT_TRUE(Locked());
    RunTrayThread(true);
    EXPECT_THAT(Calls(), ElementsAre(Call{Op::PreventRemoval}, Call{Op::AllowRemoval},
                                     Call{Op::EjectMedia}, Call{Op::PreventRemoval}));
    EXPECT_EQ(
        std::tuple(SimTray().IsOpen(), SimTray().IsRemovalPrevented(), Locked(), OpenHandles()),
        std::tuple(true, true, true, 0));

    ASSERT_TRUE(m_pDrive->StartTrayThread(true));
    ASSERT_TRUE(m_pDrive->StartTrayThread(true));
    m_pDrive->SetMediaLock(true);
    ASSERT_TRUE(m_pDrive->WaitForTrayThreads(THREAD_WAIT_LIMIT));
    EXPECT_EQ(std::tuple(Locked(), OpenHandles()), std::tuple(true, 0));
    m_pDrive->SetMediaLock(false);
    EXPECT_EQ(std::tuple(Locked(), SimTray().IsRemovalPrevented()), std::tuple(false, false));
}

// On either family a lock the OS refuses is no lock, and holds no handle.
TEST_F(Tray, TheLockFollowsTheControlOnlyWhenItSucceeds) {
    const sim::SimTrayConfig refusing{.bVolumeLockFails = true, .bMediaRemovalFails = true};
    for (const auto platform : {sim::SimPlatform::Nt, sim::SimPlatform::Win9x}) {
        Start(platform, refusing);
        m_pDrive->SetMediaLock(true);
        EXPECT_EQ(std::tuple(Locked(), OpenHandles()), std::tuple(false, 0));
    }
}

// The eject locks the volume, FAT32-aware first, releases every media lock pending on the drive
// and ejects only when that succeeded; a status error that means no lock lets it go on.
TEST_F(Tray, Win9xEjectsBetweenVolumeLockAndUnlockOnceNoMediaLockIsLeft) {
    const std::tuple<const char*, sim::SimTrayConfig, std::vector<Call>, bool> aCases[] = {
        {"no lock", {}, {LOCK32, STATUS, EJECT, UNLOCK32}, true},
        {"FAT only",
         {.aVolumeCategories = {FAT}},
         {LOCK32, LOCK, STATUS, EJECT, UNLOCK32, UNLOCK},
         true},
        {"volume not locked", {.nLockStatusError = 0xB0}, {LOCK32, STATUS, EJECT, UNLOCK32}, true},
        {"invalid function", {.nLockStatusError = 0x01}, {LOCK32, STATUS, EJECT, UNLOCK32}, true},
        {"status fails", {.nLockStatusError = 0x1F}, {LOCK32, STATUS, UNLOCK32}, false},
        {"three locks",
         {.nPendingLocks = 3},
         {LOCK32, STATUS, UNLOCK_MEDIA, UNLOCK_MEDIA, UNLOCK_MEDIA, EJECT, UNLOCK32},
         true},
        {"three locks that stay",
         {.nPendingLocks = 3, .bUnlockMediaFails = true},
         {LOCK32, STATUS, UNLOCK_MEDIA, UNLOCK32},
         false},
        {"volume lock refused", {.bVolumeLockFails = true}, {LOCK32, LOCK}, false},
    };
    for (const auto& [pszWhat, tray, aCalls, bOpen] : aCases) {
        SCOPED_TRACE(pszWhat);
        Start(sim::SimPlatform::Win9x, tray);
        RunTrayThread(false); // a load request ejects too: these versions cannot load a tray
        EXPECT_EQ(std::tuple(Calls(), SimTray().IsOpen(), OpenHandles()),
                  std::tuple(aCalls, bOpen, 0));
    }
}

TEST_F(Tray, Win9xLockKeepsItsHandleUntilTheUnlock) {
    Start(sim::SimPlatform::Win9x);
    m_pDrive->SetMediaLock(true);
    EXPECT_EQ(std::tuple(Locked(), OpenHandles()), std::tuple(true, 1));
    m_pDrive->SetMediaLock(false);
    EXPECT_EQ(std::tuple(Locked(), OpenHandles()), std::tuple(false, 0));
    EXPECT_THAT(Calls(), ElementsAre(LOCK32, STATUS, UNLOCK32));

    m_pDrive->SetMediaLock(true);
    m_pDrive->SetMediaLock(true); // a second lock replaces the first one's handle
    EXPECT_EQ(OpenHandles(), 1);
    m_pDrive.reset();
    EXPECT_EQ(OpenHandles(), 0);
}

TEST_F(Tray, OtherPlatformsAndDriveTextsWithoutALetterDoNothing) {
    Start(sim::SimPlatform::Nt);
    {
        CPlatform other = m_pSim->Platform();
        other.dwPlatformId = 3;
        CTrayControl drive(other, "E:");
        drive.SetMediaLock(true);
        EXPECT_EQ(std::tuple(drive.StartTrayThread(true), drive.IsLocked()),
                  std::tuple(false, false));
    }
    EXPECT_EQ(std::tuple(Calls().size(), m_pSim->Machine().OpenedPaths().size()),
              std::tuple(0u, 0u));

    Start(sim::SimPlatform::Win9x, {}, "");
    RunTrayThread(true);
    m_pDrive->SetMediaLock(true);
    EXPECT_EQ(std::tuple(Locked(), Calls().size(), OpenHandles()), std::tuple(false, 0u, 0));
}

// A drive service whose eject blocks in the OS until the test lets it go, as a drive with a
// jammed tray can hold the call for minutes.
class CBlockingEject : public CScriptedDrives {
public:
    CBlockingEject() {
        answer = [this](DWORD dwCode, BYTE*, DWORD) {
            if (dwCode == CTL_STORAGE_EJECT_MEDIA)
                m_released.wait();
            return true;
        };
    }
    bool CloseHandle(DeviceHandle hDevice) override {
        CScriptedDrives::CloseHandle(hDevice);
        m_closed.set_value();
        return true;
    }
    void Release() { m_release.set_value(); }
    void WaitClosed() { m_closed.get_future().wait(); }

private:
    std::promise<void> m_release;
    std::shared_future<void> m_released = m_release.get_future().share();
    std::promise<void> m_closed;
};

TEST(TrayThreadLifetime, ADeviceGoesWithoutWaitingOutAThreadBlockedInTheOs) {
    CBlockingEject drives;
    CSimFixture sim({});
    auto pDrive = std::make_unique<CTrayControl>(sim.WithDrives(drives), "E:");
    ASSERT_TRUE(pDrive->StartTrayThread(true));
    EXPECT_FALSE(pDrive->WaitForTrayThreads(std::chrono::milliseconds(0)));
    pDrive.reset(); // returns after its bounded wait
    // The thread ends on what it holds itself; AddressSanitizer sees any touch of the device.
    drives.Release();
    drives.WaitClosed();
    EXPECT_EQ(drives.nOpenHandles, 0);
}

} // namespace
} // namespace qv::test
