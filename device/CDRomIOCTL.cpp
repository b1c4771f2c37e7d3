#include "device/CDRomIOCTL.h"

#include "device/Quietly.h"
#include "platform/DriveService.h"

namespace qv {

CCDRomIOCTL::CCDRomIOCTL(const CPlatform& platform, std::string_view strRoot)
    : CCDRom(platform, strRoot) {}

CCDRomIOCTL::~CCDRomIOCTL() = default;

void CCDRomIOCTL::SetSpeed(int nSpeed, int nRequest) {
    Quietly([&] { SendPassThrough(nRequest, CPassThroughRequest::SetSpeed(nSpeed)); });
}

void CCDRomIOCTL::ModeSense(int nRequest) {
    Quietly([&] {
        int nLun = 0;
        bool bModeSense10 = false;
        {
            auto lock = Lock();
            nLun = m_nLun;
            bModeSense10 = m_bModeSense10;
        }
        SendPassThrough(nRequest, CPassThroughRequest::ModeSense(nLun, bModeSense10));
    });
}

void CCDRomIOCTL::Inquiry() {
    Quietly([&] {
        SCSI_ADDRESS_RECORD address{};
        {
            CDeviceOpen open(*this);
            DWORD nReturned = 0;
            // A refused query leaves the zeroed address; INQUIRY goes out all the same.
            m_platform.drives.DeviceIoControl(GetHandle(), CTL_SCSI_GET_ADDRESS, nullptr, 0,
                                              &address, sizeof address, &nReturned);
        }
        int nLun = 0;
        {
            auto lock = Lock();
            m_nHaId = address.PathId;
            m_nTarget = address.TargetId;
            m_nLun = nLun = address.Lun;
            m_bUsable = true;
        }
        SendPassThrough(RQ_INQUIRY, CPassThroughRequest::Inquiry(nLun));
    });
}

void CCDRomIOCTL::SendPassThrough(int nRequest, CPassThroughRequest request) {
    auto header = request.Header();
    header.Length = static_cast<WORD>(PT_HEADER_SIZE);
    {
        auto lock = Lock();
        header.PathId = static_cast<BYTE>(m_nHaId);
        header.TargetId = static_cast<BYTE>(m_nTarget);
        header.Lun = static_cast<BYTE>(m_nLun);
    }
    header.SenseInfoLength = 0;
    header.TimeOutValue = PASS_THROUGH_TIMEOUT_SECONDS;
    if (header.CdbLength == 0)
        header.CdbLength = 6;
    request.SetHeader(header);

    bool bDelivered = false;
    {
        CDeviceOpen open(*this);
        DWORD nReturned = 0;
        bDelivered = m_platform.drives.DeviceIoControl(
            GetHandle(), CTL_SCSI_PASS_THROUGH, request.Data(), static_cast<DWORD>(PT_HEADER_SIZE),
            request.Data(), request.OutputLength(), &nReturned);
    }
    CompletePassThrough(nRequest, std::move(request), bDelivered);
}

void CCDRomIOCTL::CompletePassThrough(int nRequest, CPassThroughRequest request, bool bDelivered) {
    const int nStatus =
        bDelivered && request.Header().ScsiStatus == SCSISTAT_GOOD ? CMD_OK : CMD_FAILED;
    OnCommandComplete(nRequest, nStatus, nullptr, request.DataArea());
}

bool CCDRomIOCTL::ProbePassThrough(CDriveService& drives) {
    for (const char* pszDrive : {"C:", "D:"}) {
        const DeviceHandle hVolume = drives.CreateFile(
            MakeDevicePath(pszDrive), 0, SHARE_READ | SHARE_WRITE, CREATION_OPEN_EXISTING, 0);
        if (hVolume == INVALID_DEVICE_HANDLE)
            continue;
        SCSI_ADDRESS_RECORD address{};
        DWORD nReturned = 0;
        const bool bAnswered = drives.DeviceIoControl(hVolume, CTL_SCSI_GET_ADDRESS, nullptr, 0,
                                                      &address, sizeof address, &nReturned);
        drives.CloseHandle(hVolume);
        return bAnswered;
    }
    return false;
}

} // namespace qv
