// One HTTP GET, step by step, shaped like the Internet calls the update check makes, so that a
// test can fail any step or answer with any response.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <string>

namespace qv {

// An Internet, connection or request handle carried as an integer; the Win32 side converts it to
// and from HINTERNET.
using HttpHandle = std::intptr_t;
inline constexpr HttpHandle HTTP_NULL_HANDLE = 0;

class CHttpService {
public:
    virtual ~CHttpService() = default;

    // InternetOpenA with the system's preconfigured access, each connect, send and receive under
    // it bounded by nTimeoutMs; HTTP_NULL_HANDLE on failure.
    virtual HttpHandle Open(const std::string& strAgent, DWORD nTimeoutMs) = 0;
    // InternetAutodial forcing the computer online where it connects by dial-up.
    virtual bool GoOnline() = 0;
    // InternetConnectA for HTTP.
    virtual HttpHandle Connect(HttpHandle hInternet, const std::string& strHost, WORD nPort) = 0;
    // HttpOpenRequestA: a GET of strObject (no leading slash) over HTTP/1.0 that no cache keeps,
    // that sends no cookies, asks nothing of the user and follows no redirect by itself. Over TLS
    // when bSecure, where a certificate the system does not trust fails the send.
    virtual HttpHandle OpenRequest(HttpHandle hConnect, const std::string& strObject,
                                   bool bSecure) = 0;
    // HttpSendRequestA with no extra headers and no request body.
    virtual bool SendRequest(HttpHandle hRequest) = 0;
    // HttpQueryInfoA of the status code as a number.
    virtual bool QueryStatusCode(HttpHandle hRequest, DWORD* pdwStatus) = 0;
    // HttpQueryInfoA of the Content-Length header's text; false when the response has none.
    virtual bool QueryContentLength(HttpHandle hRequest, std::string* pstrText) = 0;
    // HttpQueryInfoA of the Location header's text; false when the response has none.
    virtual bool QueryLocation(HttpHandle hRequest, std::string* pstrText) = 0;
    // InternetReadFile: up to nSize bytes into pBuffer. Success with *pnRead 0 is the end of the
    // response.
    virtual bool ReadFile(HttpHandle hRequest, BYTE* pBuffer, DWORD nSize, DWORD* pnRead) = 0;
    // InternetCloseHandle. Closing the Internet handle closes every handle opened under it and
    // breaks a call that blocks on one of them, from any thread.
    virtual bool CloseHandle(HttpHandle hInternet) = 0;
};

} // namespace qv
