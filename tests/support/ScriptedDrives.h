// A drive service whose I/O controls are answered by the test: it keeps a copy of every request
// block exactly as the device code handed it over.
#pragma once

#include "platform/DriveService.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace qv::test {

struct IoControlCall {
    std::vector<BYTE> aInput;
    DWORD nOutSize;
};

class CScriptedDrives : public CDriveService {
public:
    // Answers one I/O control: may write up to nOutSize bytes at pOut; returns its success.
    using Answer = std::function<bool(DWORD dwCode, BYTE* pOut, DWORD nOutSize)>;

    std::string strRoots; // "C:\\\0E:\\\0" without the final zero
    Answer answer = [](DWORD, BYTE*, DWORD) { return true; };

    DWORD GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) override {
        if (strRoots.size() + 1 > nBufferLength)
            return static_cast<DWORD>(strRoots.size() + 1);
        std::memcpy(pBuffer, strRoots.c_str(), strRoots.size() + 1);
        return static_cast<DWORD>(strRoots.size());
    }
    unsigned GetDriveType(const std::string&) override { return DRIVETYPE_CDROM; }
    DeviceHandle CreateFile(const std::string& strPath, DWORD, DWORD, DWORD, DWORD) override {
        aOpened.push_back(strPath);
        ++nOpenHandles;
        return 7;
    }
    bool DeviceIoControl(DeviceHandle, DWORD dwCode, void* pIn, DWORD nInSize, void* pOut,
                         DWORD nOutSize, DWORD*) override {
        const auto* pInBytes = static_cast<const BYTE*>(pIn);
        aCalls.push_back({{pInBytes, pInBytes + (pIn ? nInSize : 0)}, nOutSize});
        return answer(dwCode, static_cast<BYTE*>(pOut), nOutSize);
    }
    bool CloseHandle(DeviceHandle) override {
        --nOpenHandles;
        return true;
    }
    // These drives belong to the NT family: there is no VWIN32 device to call.
    bool Vwin32DeviceIoControl(DeviceHandle, DWORD, DIOC_REGISTERS&, void*) override {
        return false;
    }

    std::vector<std::string> aOpened;
    std::vector<IoControlCall> aCalls;
    int nOpenHandles = 0;
};

} // namespace qv::test
