// The simulated machine refuses what Windows refuses, so that a mistake in the drive code fails a
// test: an open the OS would fail, an I/O control beyond its handle's access or through a closed
// handle, a DOS call with the wrong registers. How its drives answer is tested through
// the drive code that reads them.
#include "sim/SimMachine.h"
#include "device/PassThrough.h"
#include "device/Scsi.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

namespace qv::sim {
namespace {

using ::testing::ElementsAre;

constexpr DWORD READ_WRITE = ACCESS_GENERIC_READ | ACCESS_GENERIC_WRITE;
constexpr DWORD SHARE_BOTH = SHARE_READ | SHARE_WRITE;

SimMachineConfig DeskMachine(SimPlatform platform = SimPlatform::Nt) {
    auto machine = test::NtMachine({test::Cdrom("E:\\")});
    machine.platform = platform;
    return machine;
}

DeviceHandle OpenVolume(CSimMachine& machine, DWORD dwAccess) {
    return machine.CreateFile("\\\\.\\E:", dwAccess, SHARE_BOTH, CREATION_OPEN_EXISTING, 0);
}

TEST(SimMachine, OpensADevicePathOnlyAsWindowsWould) {
    using Case =
        std::tuple<const char*, SimPlatform, const char*, DWORD, DWORD, DWORD, DWORD, bool>;
    constexpr auto NT = SimPlatform::Nt;
    constexpr auto W9X = SimPlatform::Win9x;
    constexpr DWORD OPEN = CREATION_OPEN_EXISTING;
    constexpr DWORD DELETE_ON_CLOSE = FLAG_DELETE_ON_CLOSE;
    const char* const VWIN32 = VWIN32_DEVICE_PATH;
    const Case aCases[] = {
        {"a CD-ROM volume for its data", NT, "\\\\.\\E:", READ_WRITE, SHARE_BOTH, OPEN, 0, true},
        {"the system volume for a query", NT, "\\\\.\\C:", 0, SHARE_BOTH, OPEN, 0, true},
        {"the system volume for its data", NT, "\\\\.\\C:", ACCESS_GENERIC_READ, SHARE_BOTH, OPEN,
         0, false},
        {"writes not shared", NT, "\\\\.\\E:", READ_WRITE, SHARE_READ, OPEN, 0, false},
        {"reads not shared", NT, "\\\\.\\E:", READ_WRITE, SHARE_WRITE, OPEN, 0, false},
        {"creation 0", NT, "\\\\.\\E:", READ_WRITE, SHARE_BOTH, 0, 0, false},
        {"a flag", NT, "\\\\.\\E:", READ_WRITE, SHARE_BOTH, OPEN, DELETE_ON_CLOSE, false},
        {"a volume on Windows 95/98", W9X, "\\\\.\\E:", READ_WRITE, SHARE_BOTH, OPEN, 0, false},
        {"VWIN32 as its documentation opens it", W9X, VWIN32, 0, 0, 0, DELETE_ON_CLOSE, true},
        {"VWIN32 on the NT family", NT, VWIN32, 0, 0, 0, DELETE_ON_CLOSE, false},
        {"VWIN32 without its flag", W9X, VWIN32, 0, 0, 0, 0, false},
        {"VWIN32 with access", W9X, VWIN32, ACCESS_GENERIC_READ, 0, 0, DELETE_ON_CLOSE, false},
        {"VWIN32 shared", W9X, VWIN32, 0, SHARE_BOTH, 0, DELETE_ON_CLOSE, false},
        {"VWIN32 opened existing", W9X, VWIN32, 0, 0, OPEN, DELETE_ON_CLOSE, false},
    };
    for (const auto& [pszWhat, platform, pszPath, dwAccess, dwShare, dwCreation, dwFlags, bOpens] :
         aCases) {
        CSimMachine machine(DeskMachine(platform));
        const DeviceHandle hDevice =
            machine.CreateFile(pszPath, dwAccess, dwShare, dwCreation, dwFlags);
        EXPECT_EQ(hDevice != INVALID_DEVICE_HANDLE, bOpens) << pszWhat;
        EXPECT_EQ(machine.OpenHandleCount(), bOpens ? 1 : 0) << pszWhat;
    }
}

// What the address query, a pass-through request and a media lock each need.
TEST(SimMachine, AnIoControlNeedsTheAccessItsCodeAsksFor) {
    const std::pair<DWORD, std::vector<bool>> aCases[] = {
        {0, {true, false, false}},
        {ACCESS_GENERIC_READ, {true, false, true}},
        {ACCESS_GENERIC_WRITE, {true, false, false}},
        {READ_WRITE, {true, true, true}},
    };
    for (const auto& [dwAccess, aAllowed] : aCases) {
        CSimMachine machine(DeskMachine());
        const DeviceHandle hVolume = OpenVolume(machine, dwAccess);
        DWORD nReturned = 0;
        SCSI_ADDRESS_RECORD address{};
        CPassThroughRequest request(COMMAND{5, MakeSetSpeedCdb(8), 0, false}, {});
        BYTE bPrevent = 1;
        EXPECT_EQ((std::vector<bool>{
                      machine.DeviceIoControl(hVolume, CTL_SCSI_GET_ADDRESS, nullptr, 0, &address,
                                              sizeof address, &nReturned),
                      machine.DeviceIoControl(hVolume, CTL_SCSI_PASS_THROUGH, request.Data(),
                                              static_cast<DWORD>(PT_HEADER_SIZE), request.Data(),
                                              request.OutputLength(), &nReturned),
                      machine.DeviceIoControl(hVolume, CTL_STORAGE_MEDIA_REMOVAL, &bPrevent,
                                              sizeof bPrevent, nullptr, 0, &nReturned)}),
                  aAllowed)
            << dwAccess;
    }
}

// A block as the transport builds it reaches the drive; what the drive code could get wrong in
// one, the byte-exact block test sees. A handle closed once is closed: the second close and a
// request through it fail.
TEST(SimMachine, APassThroughRequestGoesThroughAnOpenHandleOnly) {
    CSimMachine machine(DeskMachine());
    const DeviceHandle hDevice = OpenVolume(machine, READ_WRITE);
    CPassThroughRequest request(COMMAND{2, MakeInquiryCdb(0), 96, false}, {});
    const auto send = [&] {
        DWORD nReturned = 0;
        return machine.DeviceIoControl(hDevice, CTL_SCSI_PASS_THROUGH, request.Data(),
                                       static_cast<DWORD>(PT_HEADER_SIZE), request.Data(),
                                       request.OutputLength(), &nReturned);
    };
    ASSERT_TRUE(send());
    EXPECT_EQ(std::tuple(request.Header().ScsiStatus, request.Header().DataTransferLength),
              std::tuple(SCSISTAT_GOOD, 96u));
    EXPECT_EQ((std::vector{machine.CloseHandle(hDevice), machine.CloseHandle(hDevice), send()}),
              (std::vector{true, false, false}));
}

// Windows 95/98: a DOS block-device call whose registers are wrong fails as it would under VWIN32,
// and only a call that reaches a tray is kept.
TEST(SimMachine, AVwin32CallAddressedWronglyFailsAndReachesNoTray) {
    constexpr DWORD DRIVE_E = 5;
    constexpr DWORD DOS_IOCTL = 0x440D;
    CSimMachine machine(DeskMachine(SimPlatform::Win9x));
    const DeviceHandle hVwin32 =
        machine.CreateFile(VWIN32_DEVICE_PATH, 0, 0, 0, FLAG_DELETE_ON_CLOSE);
    // The code, the handle, EAX, ECX, EBX, whether a block is given; then the outcome: not
    // carried out at all, or carried out and failed with a DOS error.
    using Case = std::tuple<const char*, DWORD, bool, DWORD, DWORD, DWORD, bool, bool, DWORD>;
    constexpr DWORD CODE = VWIN32_DIOC_DOS_IOCTL;
    const Case aCases[] = {
        {"another control code", 2, true, DOS_IOCTL, 0x0849, DRIVE_E, false, false, 0},
        {"a handle of no VWIN32 device", CODE, false, DOS_IOCTL, 0x0849, DRIVE_E, false, false, 0},
        {"another DOS function", CODE, true, 0x4400, 0x0849, DRIVE_E, false, true, 0x01},
        {"drive number 0", CODE, true, DOS_IOCTL, 0x0849, 0, false, true, 0x0F},
        {"a drive without a tray", CODE, true, DOS_IOCTL, 0x0849, 3, false, true, 0x0F},
        {"a drive number past Z", CODE, true, DOS_IOCTL, 0x0849, 27, false, true, 0x0F},
        {"a media request without its block", CODE, true, DOS_IOCTL, 0x0848, DRIVE_E, false, false,
         0},
        {"a media request as FAT32", CODE, true, DOS_IOCTL, 0x4848, DRIVE_E, true, true, 0x01},
        {"an eject as FAT32", CODE, true, DOS_IOCTL, 0x4849, DRIVE_E, false, true, 0x01},
        {"a volume lock in no category", CODE, true, DOS_IOCTL, 0x094A, DRIVE_E, false, true, 0x01},
        {"an unknown request", CODE, true, DOS_IOCTL, 0x0847, DRIVE_E, true, true, 0x01},
    };
    for (const auto& [pszWhat, dwCode, bVwin32Handle, dwEax, dwEcx, dwEbx, bBlock, bCarried,
                      dwError] : aCases) {
        SCOPED_TRACE(pszWhat);
        DIOC_REGISTERS regs{};
        regs.reg_EAX = dwEax;
        regs.reg_EBX = dwEbx;
        regs.reg_ECX = dwEcx;
        BYTE aBlock[2] = {2, 0}; // a status request
        EXPECT_EQ(machine.Vwin32DeviceIoControl(bVwin32Handle ? hVwin32 : hVwin32 + 1, dwCode, regs,
                                                bBlock ? aBlock : nullptr),
                  bCarried);
        if (bCarried) {
            EXPECT_TRUE(regs.reg_Flags & DIOC_CARRY_FLAG);
            EXPECT_EQ(regs.reg_EAX, dwError);
        }
    }
    // Only the requests that reach a tray and fail there in its category are kept.
    EXPECT_THAT(machine.Tray('E')->Calls(),
                ElementsAre(SimTrayCall{SimTrayOp::EjectRemovable, 0x48},
                            SimTrayCall{SimTrayOp::LockVolume, 0x09}));
    EXPECT_FALSE(machine.Tray('E')->IsOpen());
}

} // namespace
} // namespace qv::sim
