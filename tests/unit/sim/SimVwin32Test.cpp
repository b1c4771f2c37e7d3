// The DOS block-device calls of Windows 95/98 on the simulated machine: a call whose registers
// are wrong fails as it would under VWIN32, and every call a tray takes is kept with the
// registers that shape it.
#include "sim/SimMachine.h"
#include "tests/support/SimFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv::sim {
namespace {

using ::testing::ElementsAre;

constexpr DWORD DRIVE_E = 5;
constexpr DWORD DOS_IOCTL = 0x440D;

DIOC_REGISTERS Registers(DWORD dwEcx, DWORD dwEbx = DRIVE_E) {
    DIOC_REGISTERS regs{};
    regs.reg_EAX = DOS_IOCTL;
    regs.reg_EBX = dwEbx;
    regs.reg_ECX = dwEcx;
    return regs;
}

class SimVwin32 : public ::testing::Test {
protected:
    SimVwin32() : m_machine(Win9xMachine()) {
        m_hVwin32 = m_machine.CreateFile(VWIN32_DEVICE_PATH, 0, 0, 0, FLAG_DELETE_ON_CLOSE);
    }
    static SimMachineConfig Win9xMachine() {
        auto machine = test::NtMachine({test::Cdrom("E:\\")});
        machine.platform = SimPlatform::Win9x;
        return machine;
    }
    std::vector<SimTrayCall> Calls() { return m_machine.Tray('E')->Calls(); }

    CSimMachine m_machine;
    DeviceHandle m_hVwin32 = INVALID_DEVICE_HANDLE;
};

TEST_F(SimVwin32, ACallAddressedWronglyFailsAndReachesNoTray) {
    // The outcome: not carried out at all, or carried out and failed with a DOS error.
    struct Case {
        const char* pszWhat;
        DWORD dwCode;
        bool bVwin32Handle;
        DWORD dwEax;
        DWORD dwEcx;
        DWORD dwEbx;
        bool bBlock;
        bool bCarried;
        DWORD dwError;
    };
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
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.pszWhat);
        DIOC_REGISTERS regs = Registers(c.dwEcx, c.dwEbx);
        regs.reg_EAX = c.dwEax;
        BYTE aBlock[2] = {2, 0}; // a status request
        EXPECT_EQ(m_machine.Vwin32DeviceIoControl(c.bVwin32Handle ? m_hVwin32 : m_hVwin32 + 1,
                                                  c.dwCode, regs, c.bBlock ? aBlock : nullptr),
                  c.bCarried);
        if (c.bCarried) {
            EXPECT_TRUE(regs.reg_Flags & DIOC_CARRY_FLAG);
            EXPECT_EQ(regs.reg_EAX, c.dwError);
        }
    }
    // Only the requests that reach a tray and fail there in its category are kept.
    EXPECT_THAT(Calls(), ElementsAre(SimTrayCall{SimTrayOp::EjectRemovable, 0x48},
                                     SimTrayCall{SimTrayOp::LockVolume, 0x09}));
    EXPECT_FALSE(m_machine.Tray('E')->IsOpen());
}

TEST_F(SimVwin32, AVolumeLockIsKeptWithItsLevelAndPermissions) {
    DIOC_REGISTERS level0 = Registers(0x484A);
    DIOC_REGISTERS level1 = Registers(0x084A, 0x0100 | DRIVE_E);
    level1.reg_EDX = 0x1;
    // The OS side puts the address of a block it is given in EDX, where a lock reads permissions.
    BYTE aBlock[2] = {};
    DIOC_REGISTERS withBlock = Registers(0x084A);
    ASSERT_TRUE(m_machine.Vwin32DeviceIoControl(m_hVwin32, VWIN32_DIOC_DOS_IOCTL, level0, nullptr));
    ASSERT_TRUE(m_machine.Vwin32DeviceIoControl(m_hVwin32, VWIN32_DIOC_DOS_IOCTL, level1, nullptr));
    ASSERT_TRUE(
        m_machine.Vwin32DeviceIoControl(m_hVwin32, VWIN32_DIOC_DOS_IOCTL, withBlock, aBlock));
    const auto aCalls = Calls();
    ASSERT_EQ(aCalls.size(), 3u);
    EXPECT_EQ(aCalls[0], (SimTrayCall{SimTrayOp::LockVolume, 0x48, 0, 0}));
    EXPECT_EQ(aCalls[1], (SimTrayCall{SimTrayOp::LockVolume, 0x08, 1, 0x1}));
    EXPECT_NE(aCalls[2].dwPermissions, 0u);
}

} // namespace
} // namespace qv::sim
