#include "fuzz/HostileDrives.h"

#include "device/Scsi.h"
#include "fuzz/FuzzCheck.h"
#include "platform/PassThroughLayout.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace qv::fuzz {
namespace {

// Bit n of the honest drive mask is drive letter C + n: E: and F: by default.
constexpr BYTE HONEST_DRIVES = 0x0C;

// An area of a request block lies behind the header and inside the buffer.
bool AreaInside(std::uintptr_t nOffset, DWORD nLength, DWORD nBufferSize) {
    return nOffset >= PT_HEADER_SIZE && nOffset <= nBufferSize && nLength <= nBufferSize - nOffset;
}

} // namespace

DWORD CHostileDrives::GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) {
    const BYTE nLies = m_input.Byte();
    std::string strRoots;
    const BYTE nMask = HONEST_DRIVES ^ m_input.Byte();
    for (int nBit = 0; nBit < 8; ++nBit)
        if (nMask & (1 << nBit))
            strRoots += std::string{static_cast<char>('C' + nBit), ':', '\\', '\0'};
    if (nLies & LIE_PATCHED) {
        strRoots.resize(m_input.Byte());
        m_input.Patch(reinterpret_cast<BYTE*>(strRoots.data()), strRoots.size());
    }
    DWORD nLength = static_cast<DWORD>(strRoots.size());
    const bool bFits = nLength + 1 <= nBufferLength;
    if (bFits)
        std::memcpy(pBuffer, strRoots.c_str(), nLength + 1);
    else
        nLength += 1;
    if (nLies & LIE_RETURNED)
        nLength = m_input.Value<DWORD>();
    return nLies & LIE_FAILS ? 0 : nLength;
}

unsigned CHostileDrives::GetDriveType(const std::string&) {
    return DRIVETYPE_CDROM ^ m_input.Byte();
}

DeviceHandle CHostileDrives::CreateFile(const std::string&, DWORD dwAccess, DWORD, DWORD, DWORD) {
    if (dwAccess != 0 && m_input.Byte() & LIE_FAILS)
        return INVALID_DEVICE_HANDLE;
    const DeviceHandle hDevice = m_hNext++;
    m_setOpen.insert(hDevice);
    if (dwAccess == 0)
        m_setProbed.insert(hDevice);
    return hDevice;
}

bool CHostileDrives::CloseHandle(DeviceHandle hDevice) {
    Check(m_setOpen.erase(hDevice) == 1, "only an open handle is closed, and only once");
    m_setProbed.erase(hDevice);
    return true;
}

bool CHostileDrives::DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn, DWORD nInSize,
                                     void* pOut, DWORD nOutSize, DWORD* pnReturned) {
    if (!m_setOpen.count(hDevice))
        return false;
    switch (dwCode) {
    case CTL_SCSI_GET_ADDRESS:
        return AnswerAddress(hDevice, pOut, nOutSize, pnReturned);
    case CTL_SCSI_PASS_THROUGH:
        return PassThrough(pIn, nInSize, pOut, nOutSize, pnReturned);
    default:
        return !(m_input.Byte() & LIE_FAILS);
    }
}

bool CHostileDrives::AnswerAddress(DeviceHandle hDevice, void* pOut, DWORD nOutSize,
                                   DWORD* pnReturned) {
    if (m_setProbed.count(hDevice))
        return m_bPassThrough;
    const BYTE nLies = m_input.Byte();
    if (!pOut || nOutSize < sizeof(SCSI_ADDRESS_RECORD))
        return false;
    SCSI_ADDRESS_RECORD record{sizeof record, 1, 0, 0, 0};
    if (nLies & LIE_PATCHED)
        m_input.Patch(reinterpret_cast<BYTE*>(&record), sizeof record);
    std::memcpy(pOut, &record, sizeof record);
    if (pnReturned)
        *pnReturned = nLies & LIE_RETURNED ? m_input.Value<DWORD>() : DWORD{sizeof record};
    return !(nLies & LIE_FAILS);
}

// Checks the block as the port driver does before any byte of it is written, then answers with
// the honest drive's reply as the input changes it.
bool CHostileDrives::PassThrough(void* pIn, DWORD nInSize, void* pOut, DWORD nOutSize,
                                 DWORD* pnReturned) {
    const BYTE nLies = m_input.Byte();
    if (!pIn || !pOut || nInSize < PT_HEADER_SIZE || nOutSize < PT_HEADER_SIZE)
        return false;
    PASS_THROUGH_HEADER header;
    std::memcpy(&header, pIn, sizeof header);
    if (header.CdbLength == 0 || header.CdbLength > PT_CDB_SIZE ||
        (header.DataTransferLength > 0 &&
         !AreaInside(header.DataBufferOffset, header.DataTransferLength, nOutSize)) ||
        (header.SenseInfoLength > 0 &&
         !AreaInside(header.SenseInfoOffset, header.SenseInfoLength, nOutSize)))
        return false;

    auto* pBlock = static_cast<BYTE*>(pOut);
    const std::vector<BYTE> aReply = m_drive.Reply(header.Cdb, header.CdbLength);
    std::size_t nWritten = std::min<std::size_t>(aReply.size(), header.DataTransferLength);
    if (nLies & LIE_SHORT)
        nWritten = std::min<std::size_t>(nWritten, m_input.Byte());
    if (nWritten > 0)
        std::memcpy(pBlock + header.DataBufferOffset, aReply.data(), nWritten);
    if (nLies & LIE_PATCHED)
        m_input.Patch(pBlock + PT_HEADER_SIZE, nOutSize - PT_HEADER_SIZE);

    header.ScsiStatus = nLies & LIE_STATUS ? m_input.Byte() : SCSISTAT_GOOD;
    header.DataTransferLength =
        nLies & LIE_LENGTH ? m_input.Value<DWORD>() : static_cast<DWORD>(nWritten);
    if (nLies & LIE_SENSE)
        header.SenseInfoLength = m_input.Byte();
    std::memcpy(pBlock, &header, sizeof header);
    if (pnReturned)
        *pnReturned = nLies & LIE_RETURNED ? m_input.Value<DWORD>() : nOutSize;
    return !(nLies & LIE_FAILS);
}

// The NT family has no VWIN32 device.
bool CHostileDrives::Vwin32DeviceIoControl(DeviceHandle, DWORD, DIOC_REGISTERS&, void*) {
    return false;
}

} // namespace qv::fuzz
