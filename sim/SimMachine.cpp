#include "sim/SimMachine.h"

#include "platform/PassThroughLayout.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace qv::sim {
namespace {

char LetterOf(const std::string& strText) {
    return strText.empty()
               ? '\0'
               : static_cast<char>(std::toupper(static_cast<unsigned char>(strText[0])));
}

// "\\.\E:" names the volume of drive E; anything else names no volume.
char VolumeLetter(const std::string& strPath) {
    if (strPath.size() != 6 || strPath.compare(0, 4, "\\\\.\\") != 0 || strPath[5] != ':')
        return '\0';
    return static_cast<char>(std::toupper(static_cast<unsigned char>(strPath[4])));
}

// An area of a request block lies behind the header and inside the buffer, without the sum of
// offset and length wrapping around.
bool AreaInside(std::uintptr_t nOffset, DWORD nLength, DWORD nBufferSize) {
    return nOffset >= PT_HEADER_SIZE && nOffset <= nBufferSize && nLength <= nBufferSize - nOffset;
}

// The access field of an I/O control code (bits 15-14) and what an open's rights grant of it.
constexpr DWORD FILE_READ_ACCESS = 0x1;
constexpr DWORD FILE_WRITE_ACCESS = 0x2;

DWORD RequiredAccess(DWORD dwCode) {
    return (dwCode >> 14) & (FILE_READ_ACCESS | FILE_WRITE_ACCESS);
}

DWORD GrantedAccess(DWORD dwAccess) {
    return ((dwAccess & ACCESS_GENERIC_READ) ? FILE_READ_ACCESS : 0) |
           ((dwAccess & ACCESS_GENERIC_WRITE) ? FILE_WRITE_ACCESS : 0);
}

// Opening a volume's device path: it exists already, the file system that holds it open for
// reading and writing must be allowed to go on doing so, and no flag applies. Only rights to
// the volume's data are modelled; a user without administrative rights is granted them on a
// CD-ROM drive allocated to them and on no other volume, while opening with no access at all,
// enough for the queries that need none, works on every volume.
bool VolumeOpens(const SimDriveConfig& drive, DWORD dwAccess, DWORD dwShare, DWORD dwCreation,
                 DWORD dwFlags) {
    constexpr DWORD DATA_ACCESS = ACCESS_GENERIC_READ | ACCESS_GENERIC_WRITE;
    constexpr DWORD SHARE_BOTH = SHARE_READ | SHARE_WRITE;
    if (dwCreation != CREATION_OPEN_EXISTING || dwFlags != 0 ||
        (dwShare & SHARE_BOTH) != SHARE_BOTH || (dwAccess & ~DATA_ACCESS) != 0)
        return false;
    return dwAccess == 0 || drive.nType == DRIVETYPE_CDROM;
}

// VWIN32 opens only the way its documentation opens a VxD: no access, no sharing, creation 0,
// FILE_FLAG_DELETE_ON_CLOSE.
bool Vwin32Opens(DWORD dwAccess, DWORD dwShare, DWORD dwCreation, DWORD dwFlags) {
    return dwAccess == 0 && dwShare == 0 && dwCreation == 0 && dwFlags == FLAG_DELETE_ON_CLOSE;
}

bool IsVwin32Path(const std::string& strPath) {
    return std::equal(strPath.begin(), strPath.end(), std::string_view(VWIN32_DEVICE_PATH).begin(),
                      std::string_view(VWIN32_DEVICE_PATH).end(), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

} // namespace

CSimMachine::CSimMachine(SimMachineConfig config) : m_platform(config.platform) {
    std::stable_sort(
        config.aDrives.begin(), config.aDrives.end(),
        [](const auto& a, const auto& b) { return LetterOf(a.strRoot) < LetterOf(b.strRoot); });
    for (auto& drive : config.aDrives) {
        Volume volume{std::move(drive), nullptr, nullptr};
        if (volume.config.cdrom) {
            volume.pDrive = std::make_unique<CSimMmcDrive>(*volume.config.cdrom);
            volume.pTray = std::make_unique<CSimTray>(volume.config.cdrom->tray);
        }
        m_aVolumes.push_back(std::move(volume));
    }
    std::map<SimAspiAddress, SimAspiTarget> mapTargets;
    for (const auto& volume : m_aVolumes)
        if (volume.config.cdrom && volume.config.cdrom->aspi)
            mapTargets[*volume.config.cdrom->aspi] = {LetterOf(volume.config.strRoot),
                                                      volume.pDrive.get()};
    m_pAspi = std::make_unique<CSimAspiManager>(std::move(config.aspi), std::move(mapTargets));
}

CSimMachine::~CSimMachine() = default;

DWORD CSimMachine::GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) {
    std::string strRoots;
    for (const auto& volume : m_aVolumes)
        strRoots.append(volume.config.strRoot).push_back('\0');
    const auto nLength = static_cast<DWORD>(strRoots.size());
    if (nLength + 1 > nBufferLength)
        return nLength + 1;
    std::memcpy(pBuffer, strRoots.data(), nLength);
    pBuffer[nLength] = '\0';
    return nLength;
}

unsigned CSimMachine::GetDriveType(const std::string& strRoot) {
    const Volume* pVolume =
        strRoot.size() >= 2 && strRoot[1] == ':' ? FindVolume(LetterOf(strRoot)) : nullptr;
    return pVolume ? pVolume->config.nType : DRIVETYPE_NO_ROOT_DIR;
}

DeviceHandle CSimMachine::CreateFile(const std::string& strPath, DWORD dwAccess, DWORD dwShare,
                                     DWORD dwCreation, DWORD dwFlags) {
    std::lock_guard lock(m_lock);
    m_aOpened.push_back(strPath);
    if (m_aOpened.size() > SIM_HISTORY_LIMIT)
        m_aOpened.pop_front();
    if (IsVwin32Path(strPath)) {
        if (m_platform != SimPlatform::Win9x ||
            !Vwin32Opens(dwAccess, dwShare, dwCreation, dwFlags))
            return INVALID_DEVICE_HANDLE;
        const DeviceHandle hVwin32 = m_hNext++;
        m_setVwin32Handles.insert(hVwin32);
        return hVwin32;
    }
    const char cLetter = VolumeLetter(strPath);
    const Volume* pVolume = FindVolume(cLetter);
    // Windows 95/98 has no volume device paths.
    if (!pVolume || !pVolume->config.bOpens || m_platform != SimPlatform::Nt ||
        !VolumeOpens(pVolume->config, dwAccess, dwShare, dwCreation, dwFlags))
        return INVALID_DEVICE_HANDLE;
    const DeviceHandle hDevice = m_hNext++;
    m_mapHandles.emplace(hDevice, VolumeHandle{cLetter, GrantedAccess(dwAccess)});
    return hDevice;
}

bool CSimMachine::CloseHandle(DeviceHandle hDevice) {
    std::lock_guard lock(m_lock);
    return m_mapHandles.erase(hDevice) + m_setVwin32Handles.erase(hDevice) == 1;
}

bool CSimMachine::DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn, DWORD nInSize,
                                  void* pOut, DWORD nOutSize, DWORD* pnReturned) {
    DWORD dwGranted = 0;
    const Volume* pVolume = VolumeOf(hDevice, dwGranted);
    // The I/O manager checks the access the control's code asks for before any driver sees it.
    if (!pVolume || (RequiredAccess(dwCode) & ~dwGranted) != 0)
        return false;
    switch (dwCode) {
    case CTL_SCSI_GET_ADDRESS: {
        if (!pVolume->config.bAnswersAddress || !pOut || nOutSize < sizeof(SCSI_ADDRESS_RECORD))
            return false;
        const SimScsiAddress address =
            pVolume->config.cdrom ? pVolume->config.cdrom->address : SimScsiAddress{};
        const SCSI_ADDRESS_RECORD record{
            sizeof(SCSI_ADDRESS_RECORD), static_cast<BYTE>(address.nPort),
            static_cast<BYTE>(address.nPathId), static_cast<BYTE>(address.nTargetId),
            static_cast<BYTE>(address.nLun)};
        std::memcpy(pOut, &record, sizeof record);
        if (pnReturned)
            *pnReturned = sizeof record;
        return true;
    }
    case CTL_SCSI_PASS_THROUGH:
        return PassThrough(*pVolume, pIn, nInSize, pOut, nOutSize, pnReturned);
    default:
        return StorageControl(*pVolume, dwCode, pIn, nInSize);
    }
}

bool CSimMachine::PassThrough(const Volume& volume, void* pIn, DWORD nInSize, void* pOut,
                              DWORD nOutSize, DWORD* pnReturned) {
    if (!volume.config.bPassThrough || !volume.pDrive)
        return false;
    // The checks of the port driver: a whole header, a sane CDB, a known direction, and a data
    // area and sense area that lie inside the buffer handed over.
    if (!pIn || !pOut || nInSize < PT_HEADER_SIZE || nOutSize < PT_HEADER_SIZE)
        return false;
    PASS_THROUGH_HEADER header;
    std::memcpy(&header, pIn, sizeof header);
    if (header.Length != PT_HEADER_SIZE || header.CdbLength == 0 ||
        header.CdbLength > PT_CDB_SIZE || header.DataIn > SCSI_IOCTL_DATA_UNSPECIFIED)
        return false;
    if (header.DataTransferLength > 0 &&
        !AreaInside(header.DataBufferOffset, header.DataTransferLength, nOutSize))
        return false;
    if (header.SenseInfoLength > 0 &&
        !AreaInside(header.SenseInfoOffset, header.SenseInfoLength, nOutSize))
        return false;

    auto* pBlock = static_cast<BYTE*>(pOut);
    BYTE* pData = header.DataTransferLength ? pBlock + header.DataBufferOffset : nullptr;
    const SimScsiResult result =
        volume.pDrive->Execute(header.Cdb, header.CdbLength, pData, header.DataTransferLength);
    header.ScsiStatus = result.nStatus;
    header.DataTransferLength = static_cast<DWORD>(result.nTransferred);
    // A command that ends GOOD has no sense data: the sense area stays as it was handed over.
    if (header.SenseInfoLength > 0) {
        const auto nSense = std::min<std::size_t>(header.SenseInfoLength, result.aSense.size());
        if (nSense > 0)
            std::copy_n(result.aSense.begin(), nSense, pBlock + header.SenseInfoOffset);
        header.SenseInfoLength = static_cast<BYTE>(nSense);
    }
    std::memcpy(pBlock, &header, sizeof header);
    if (pnReturned)
        *pnReturned = static_cast<DWORD>(header.DataTransferLength
                                             ? header.DataBufferOffset + header.DataTransferLength
                                             : PT_HEADER_SIZE);
    return true;
}

CSimMmcDrive* CSimMachine::Drive(char cLetter) const {
    const Volume* pVolume =
        FindVolume(static_cast<char>(std::toupper(static_cast<unsigned char>(cLetter))));
    return pVolume ? pVolume->pDrive.get() : nullptr;
}

std::vector<std::string> CSimMachine::OpenedPaths() const {
    std::lock_guard lock(m_lock);
    return {m_aOpened.begin(), m_aOpened.end()};
}

int CSimMachine::OpenHandleCount() const {
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_mapHandles.size() + m_setVwin32Handles.size());
}

const CSimMachine::Volume* CSimMachine::FindVolume(char cLetter) const {
    const auto it = std::find_if(m_aVolumes.begin(), m_aVolumes.end(), [cLetter](const Volume& v) {
        return LetterOf(v.config.strRoot) == cLetter;
    });
    return cLetter && it != m_aVolumes.end() ? &*it : nullptr;
}

const CSimMachine::Volume* CSimMachine::VolumeOf(DeviceHandle hDevice, DWORD& dwGranted) const {
    std::lock_guard lock(m_lock);
    const auto it = m_mapHandles.find(hDevice);
    if (it == m_mapHandles.end())
        return nullptr;
    dwGranted = it->second.dwGranted;
    return FindVolume(it->second.cLetter);
}

} // namespace qv::sim
