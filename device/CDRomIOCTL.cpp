#include "device/CDRomIOCTL.h"

#include "device/CDRomList.h"
#include "platform/DriveService.h"

#include <algorithm>
#include <optional>

namespace qv {

CCDRomIOCTL::CCDRomIOCTL(const CPlatform& platform, std::string_view strRoot)
    : CCDRom(platform, strRoot) {}

CCDRomIOCTL::~CCDRomIOCTL() = default;

void CCDRomIOCTL::SetSpeed(int nSpeed, int nRequest) {
    SendStep(nRequest, [&] { SendPassThrough(nRequest, CPassThroughRequest::SetSpeed(nSpeed)); });
}

void CCDRomIOCTL::ModeSense(int nRequest) {
    SendStep(nRequest, [&] {
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
    SendStep(RQ_INQUIRY, [&] {
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
    // Only the MODE SENSE blocks reserve a sense area; its data tell a drive without
    // MODE SENSE(6) from one that failed the read.
    header.SenseInfoLength = header.SenseInfoOffset ? static_cast<BYTE>(PT_SENSE_AREA_SIZE) : 0;
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
    // A block the OS refused never reached the drive: nothing in it is the drive's.
    if (!bDelivered) {
        OnCommandComplete(nRequest, CMD_FAILED, {}, {});
        return;
    }
    const auto header = request.Header();
    if (header.ScsiStatus == SCSISTAT_GOOD) {
        OnCommandComplete(nRequest, CMD_OK, {}, request.DataArea());
        return;
    }
    const bool bSense = header.ScsiStatus == SCSISTAT_CHECK_CONDITION &&
                        header.SenseInfoLength > 0 && header.SenseInfoOffset != 0;
    const ReplyBytes sense =
        bSense ? request.Area(header.SenseInfoOffset,
                              std::min<std::size_t>(header.SenseInfoLength, PT_SENSE_AREA_SIZE))
               : ReplyBytes{};
    OnCommandComplete(nRequest, bSense ? CMD_ERROR : CMD_FAILED, sense, request.DataArea());
}

namespace {

// Whether the volume exists (nullopt when it cannot be opened) and answers the address query.
std::optional<bool> AnswersAddressQuery(CDriveService& drives, std::string_view strDrive) {
    // The query needs no access to the volume's data.
    const DeviceHandle hVolume = drives.CreateFile(
        CCDRom::MakeDevicePath(strDrive), 0, SHARE_READ | SHARE_WRITE, CREATION_OPEN_EXISTING, 0);
    if (hVolume == INVALID_DEVICE_HANDLE)
        return std::nullopt;
    SCSI_ADDRESS_RECORD address{};
    DWORD nReturned = 0;
    const bool bAnswered = drives.DeviceIoControl(hVolume, CTL_SCSI_GET_ADDRESS, nullptr, 0,
                                                  &address, sizeof address, &nReturned);
    drives.CloseHandle(hVolume);
    return bAnswered;
}

} // namespace

bool CCDRomIOCTL::ProbePassThrough(const CPlatform& platform) {
    std::optional<bool> bSystemVolume;
    for (const char* pszDrive : {"C:", "D:"}) {
        bSystemVolume = AnswersAddressQuery(platform.drives, pszDrive);
        if (bSystemVolume)
            break;
    }
    if (bSystemVolume.value_or(false))
        return true;
    // A system volume on a RAID, virtual or spanned disk need not answer; the NT family still
    // carries pass-through to a CD-ROM drive whose own volume does.
    if (platform.dwPlatformId != PLATFORM_WIN32_NT)
        return false;
    const auto aRoots = CCDRomList::CdRomRoots(platform.drives);
    return std::any_of(aRoots.begin(), aRoots.end(), [&](const std::string& strRoot) {
        return AnswersAddressQuery(platform.drives, strRoot).value_or(false);
    });
}

} // namespace qv
