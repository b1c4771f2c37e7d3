#include "platform/win32/Win32Http.h"

#include "platform/win32/Win32.h"

#include <wininet.h>

#include <algorithm>

namespace qv::win32 {
namespace {

HINTERNET ToHinternet(HttpHandle hInternet) {
    return reinterpret_cast<HINTERNET>(hInternet);
}

HttpHandle FromHinternet(HINTERNET hInternet) {
    return reinterpret_cast<HttpHandle>(hInternet);
}

// The header's text is a handful of digits; one that does not fit is no length a description has.
constexpr ::DWORD CONTENT_LENGTH_BUFFER_SIZE = 32;
// A redirect's address; a longer one is not followed.
constexpr ::DWORD LOCATION_BUFFER_SIZE = 1024;

bool QueryHeader(HttpHandle hRequest, ::DWORD dwHeader, char* pszText, ::DWORD nBufferSize,
                 std::string* pstrText) {
    ::DWORD nSize = nBufferSize;
    if (!::HttpQueryInfoA(ToHinternet(hRequest), dwHeader, pszText, &nSize, nullptr))
        return false;
    pstrText->assign(pszText, std::min(nSize, nBufferSize));
    return true;
}

} // namespace

// Handles made under the Internet handle take its time-outs.
HttpHandle CWin32Http::Open(const std::string& strAgent, DWORD nTimeoutMs) {
    const HINTERNET hInternet =
        ::InternetOpenA(strAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!hInternet)
        return HTTP_NULL_HANDLE;
    ::DWORD dwTimeout = nTimeoutMs;
    for (const ::DWORD dwOption : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                   INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        if (!::InternetSetOptionA(hInternet, dwOption, &dwTimeout, sizeof dwTimeout)) {
            ::InternetCloseHandle(hInternet);
            return HTTP_NULL_HANDLE;
        }
    }
    return FromHinternet(hInternet);
}

bool CWin32Http::GoOnline() {
    return ::InternetAutodial(INTERNET_AUTODIAL_FORCE_ONLINE, nullptr) != FALSE;
}

HttpHandle CWin32Http::Connect(HttpHandle hInternet, const std::string& strHost, WORD nPort) {
    return FromHinternet(::InternetConnectA(ToHinternet(hInternet), strHost.c_str(), nPort, "", "",
                                            INTERNET_SERVICE_HTTP, 0, 0));
}

// The check follows redirects itself, so that none leaves HTTPS. No flag that ignores a
// certificate error is ever set: with no user interface an untrusted certificate fails the send.
HttpHandle CWin32Http::OpenRequest(HttpHandle hConnect, const std::string& strObject,
                                   bool bSecure) {
    const ::DWORD dwFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                            INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES |
                            INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH |
                            (bSecure ? INTERNET_FLAG_SECURE : 0);
    return FromHinternet(::HttpOpenRequestA(ToHinternet(hConnect), "GET", strObject.c_str(),
                                            "HTTP/1.0", nullptr, nullptr, dwFlags, 0));
}

bool CWin32Http::SendRequest(HttpHandle hRequest) {
    return ::HttpSendRequestA(ToHinternet(hRequest), nullptr, 0, nullptr, 0) != FALSE;
}

bool CWin32Http::QueryStatusCode(HttpHandle hRequest, DWORD* pdwStatus) {
    ::DWORD dwStatus = 0;
    ::DWORD nSize = sizeof dwStatus;
    if (!::HttpQueryInfoA(ToHinternet(hRequest), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                          &dwStatus, &nSize, nullptr))
        return false;
    *pdwStatus = static_cast<DWORD>(dwStatus);
    return true;
}

bool CWin32Http::QueryContentLength(HttpHandle hRequest, std::string* pstrText) {
    char szText[CONTENT_LENGTH_BUFFER_SIZE] = {};
    return QueryHeader(hRequest, HTTP_QUERY_CONTENT_LENGTH, szText, sizeof szText, pstrText);
}

bool CWin32Http::QueryLocation(HttpHandle hRequest, std::string* pstrText) {
    char szText[LOCATION_BUFFER_SIZE] = {};
    return QueryHeader(hRequest, HTTP_QUERY_LOCATION, szText, sizeof szText, pstrText);
}

bool CWin32Http::ReadFile(HttpHandle hRequest, BYTE* pBuffer, DWORD nSize, DWORD* pnRead) {
    ::DWORD nRead = 0;
    if (!::InternetReadFile(ToHinternet(hRequest), pBuffer, nSize, &nRead))
        return false;
    *pnRead = static_cast<DWORD>(nRead);
    return true;
}

bool CWin32Http::CloseHandle(HttpHandle hInternet) {
    return ::InternetCloseHandle(ToHinternet(hInternet)) != FALSE;
}

} // namespace qv::win32
