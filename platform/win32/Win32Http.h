// The update fetch over the Internet functions of the running Windows.
#pragma once

#include "platform/HttpService.h"

namespace qv::win32 {

class CWin32Http : public CHttpService {
public:
    HttpHandle Open(const std::string& strAgent, DWORD nTimeoutMs) override;
    bool GoOnline() override;
    HttpHandle Connect(HttpHandle hInternet, const std::string& strHost, WORD nPort) override;
    HttpHandle OpenRequest(HttpHandle hConnect, const std::string& strObject,
                           bool bSecure) override;
    bool SendRequest(HttpHandle hRequest) override;
    bool QueryStatusCode(HttpHandle hRequest, DWORD* pdwStatus) override;
    bool QueryContentLength(HttpHandle hRequest, std::string* pstrText) override;
    bool QueryLocation(HttpHandle hRequest, std::string* pstrText) override;
    bool ReadFile(HttpHandle hRequest, BYTE* pBuffer, DWORD nSize, DWORD* pnRead) override;
    bool CloseHandle(HttpHandle hInternet) override;
};

} // namespace qv::win32
