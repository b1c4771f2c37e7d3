// An HTTP exchange that answers as the test scripts it: any one step fails, any status, any
// Content-Length text or none, a body delivered a few bytes per read or ending early. It hands
// out distinct handles and records every close, so a test sees each handle closed once.
#pragma once

#include "platform/HttpService.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv::test {

enum class HttpStep {
    Open,
    GoOnline,
    Connect,
    OpenRequest,
    Send,
    StatusCode,
    ContentLength,
    Read,
};

class CScriptedHttp : public CHttpService {
public:
    // A 200 response whose Content-Length tells the truth.
    void Serve(const std::string& strBody) {
        m_strBody = strBody;
        m_strContentLength = std::to_string(strBody.size());
    }

    HttpHandle Open(const std::string& strAgent) override {
        m_strAgent = strAgent;
        return Issue(HttpStep::Open);
    }
    bool GoOnline() override { return !Fails(HttpStep::GoOnline); }
    HttpHandle Connect(HttpHandle hInternet, const std::string& strHost, WORD nPort) override {
        m_strHost = strHost;
        m_nPort = nPort;
        return IsOpen(hInternet) ? Issue(HttpStep::Connect) : HTTP_NULL_HANDLE;
    }
    HttpHandle OpenRequest(HttpHandle hConnect, const std::string& strObject) override {
        m_strObject = strObject;
        return IsOpen(hConnect) ? Issue(HttpStep::OpenRequest) : HTTP_NULL_HANDLE;
    }
    bool SendRequest(HttpHandle hRequest) override {
        return IsOpen(hRequest) && !Fails(HttpStep::Send);
    }
    bool QueryStatusCode(HttpHandle hRequest, DWORD* pdwStatus) override {
        if (!IsOpen(hRequest) || Fails(HttpStep::StatusCode))
            return false;
        *pdwStatus = m_dwStatus;
        return true;
    }
    bool QueryContentLength(HttpHandle hRequest, std::string* pstrText) override {
        if (!IsOpen(hRequest) || Fails(HttpStep::ContentLength) || !m_strContentLength)
            return false;
        *pstrText = *m_strContentLength;
        return true;
    }
    bool ReadFile(HttpHandle hRequest, BYTE* pBuffer, DWORD nSize, DWORD* pnRead) override {
        ++m_nReads;
        if (!IsOpen(hRequest) || Fails(HttpStep::Read))
            return false;
        const std::size_t nCount =
            std::min({static_cast<std::size_t>(nSize), static_cast<std::size_t>(m_nChunk),
                      m_strBody.size() - m_nDelivered});
        std::copy_n(m_strBody.begin() + static_cast<std::ptrdiff_t>(m_nDelivered), nCount, pBuffer);
        m_nDelivered += nCount;
        *pnRead = static_cast<DWORD>(nCount);
        return true;
    }
    bool CloseHandle(HttpHandle hInternet) override {
        m_aClosed.push_back(hInternet);
        return m_setOpen.erase(hInternet) == 1;
    }

    // The script.
    std::optional<HttpStep> m_failingStep;
    DWORD m_dwStatus = 200;
    std::optional<std::string> m_strContentLength; // nullopt: the response has no such header
    std::string m_strBody;
    DWORD m_nChunk = 0xFFFFFFFF; // the most one read delivers

    // What the check asked for.
    std::string m_strAgent;
    std::string m_strHost;
    WORD m_nPort = 0;
    std::string m_strObject;
    int m_nReads = 0;
    // Handles in the order they were issued and closed; those still open.
    std::vector<HttpHandle> m_aIssued;
    std::vector<HttpHandle> m_aClosed;
    std::set<HttpHandle> m_setOpen;

private:
    bool Fails(HttpStep step) const { return m_failingStep == step; }
    bool IsOpen(HttpHandle hInternet) const { return m_setOpen.count(hInternet) == 1; }
    HttpHandle Issue(HttpStep step) {
        if (Fails(step))
            return HTTP_NULL_HANDLE;
        const HttpHandle hInternet = m_hNext++;
        m_aIssued.push_back(hInternet);
        m_setOpen.insert(hInternet);
        return hInternet;
    }

    HttpHandle m_hNext = 0x100;
    std::size_t m_nDelivered = 0;
};

} // namespace qv::test
