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

} // namespace

HttpHandle CWin32Http::Open(const std::string& strAgent) {
    return FromHinternet(
        ::InternetOpenA(strAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
}

bool CWin32Http::GoOnline() {
    return ::InternetAutodial(INTERNET_AUTODIAL_FORCE_ONLINE, nullptr) != FALSE;
}

HttpHandle CWin32Http::Connect(HttpHandle hInternet, const std::string& strHost, WORD nPort) {
    const INTERNET_PORT nServicePort = nPort == 0 ? INTERNET_DEFAULT_HTTP_PORT : nPort;
    return FromHinternet(::InternetConnectA(ToHinternet(hInternet), strHost.c_str(), nServicePort,
                                            "", "", INTERNET_SERVICE_HTTP, 0, 0));
}

// The description lives at one fixed address: a redirect, a captive portal's for instance, leads
// to no description, so it is not followed and its status fails the check.
HttpHandle CWin32Http::OpenRequest(HttpHandle hConnect, const std::string& strObject) {
    constexpr ::DWORD FLAGS =
        INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_RELOAD;
    return FromHinternet(::HttpOpenRequestA(ToHinternet(hConnect), "GET", strObject.c_str(),
                                            "HTTP/1.0", nullptr, nullptr, FLAGS, 0));
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
    ::DWORD nSize = sizeof szText;
    if (!::HttpQueryInfoA(ToHinternet(hRequest), HTTP_QUERY_CONTENT_LENGTH, szText, &nSize,
                          nullptr))
        return false;
    pstrText->assign(szText, std::min<::DWORD>(nSize, sizeof szText));
    return true;
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
