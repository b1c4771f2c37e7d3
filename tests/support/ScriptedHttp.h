// An HTTP exchange that answers as the test scripts it: any one step fails or stalls, any status,
// any Content-Length text or none, a body delivered a few bytes per read or ending early. It
// hands out distinct handles and records every close; closing a handle closes those opened
// under it, as the Internet calls do, and breaks a step that stalls on one of them. Safe to use
// from a worker thread while a test abandons the check from another.
#pragma once

#include "platform/HttpService.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
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

// The script and what was asked of it, apart from what makes the exchange safe across threads.
struct ScriptedExchange {
    // The script, set before the check starts.
    std::optional<HttpStep> m_failingStep;
    // This step blocks until the handle it works on is closed, and then fails, or until EndStall.
    std::optional<HttpStep> m_stallingStep;
    DWORD m_dwStatus = 200;
    std::optional<std::string> m_strContentLength; // nullopt: the response has no such header
    std::string m_strBody;
    DWORD m_nChunk = 0xFFFFFFFF; // the most one read delivers

    // What the check asked for, read once it has ended.
    std::string m_strAgent;
    std::string m_strHost;
    WORD m_nPort = 0;
    std::string m_strObject;
    int m_nReads = 0;
    // Handles in the order they were issued and explicitly closed; those still open.
    std::vector<HttpHandle> m_aIssued;
    std::vector<HttpHandle> m_aClosed;
    std::set<HttpHandle> m_setOpen;

    bool m_bStalled = false;
    std::map<HttpHandle, HttpHandle> m_mapParents;
    HttpHandle m_hNext = 0x100;
    std::size_t m_nDelivered = 0;
};

class CScriptedHttp : public CHttpService, public ScriptedExchange {
public:
    // Another exchange, with a script of its own, for a second check.
    void StartOver() {
        std::lock_guard lock(m_mutex);
        static_cast<ScriptedExchange&>(*this) = ScriptedExchange();
    }

    // A 200 response whose Content-Length tells the truth.
    void Serve(const std::string& strBody) {
        m_strBody = strBody;
        m_strContentLength = std::to_string(strBody.size());
    }

    HttpHandle Open(const std::string& strAgent) override {
        std::unique_lock lock(m_mutex);
        m_strAgent = strAgent;
        return Issue(lock, HttpStep::Open, HTTP_NULL_HANDLE);
    }
    bool GoOnline() override {
        std::unique_lock lock(m_mutex);
        return Pass(lock, HttpStep::GoOnline, HTTP_NULL_HANDLE);
    }
    HttpHandle Connect(HttpHandle hInternet, const std::string& strHost, WORD nPort) override {
        std::unique_lock lock(m_mutex);
        m_strHost = strHost;
        m_nPort = nPort;
        return IsOpen(hInternet) ? Issue(lock, HttpStep::Connect, hInternet) : HTTP_NULL_HANDLE;
    }
    HttpHandle OpenRequest(HttpHandle hConnect, const std::string& strObject) override {
        std::unique_lock lock(m_mutex);
        m_strObject = strObject;
        return IsOpen(hConnect) ? Issue(lock, HttpStep::OpenRequest, hConnect) : HTTP_NULL_HANDLE;
    }
    bool SendRequest(HttpHandle hRequest) override {
        std::unique_lock lock(m_mutex);
        return IsOpen(hRequest) && Pass(lock, HttpStep::Send, hRequest);
    }
    bool QueryStatusCode(HttpHandle hRequest, DWORD* pdwStatus) override {
        std::unique_lock lock(m_mutex);
        if (!IsOpen(hRequest) || !Pass(lock, HttpStep::StatusCode, hRequest))
            return false;
        *pdwStatus = m_dwStatus;
        return true;
    }
    bool QueryContentLength(HttpHandle hRequest, std::string* pstrText) override {
        std::unique_lock lock(m_mutex);
        if (!IsOpen(hRequest) || !Pass(lock, HttpStep::ContentLength, hRequest) ||
            !m_strContentLength)
            return false;
        *pstrText = *m_strContentLength;
        return true;
    }
    bool ReadFile(HttpHandle hRequest, BYTE* pBuffer, DWORD nSize, DWORD* pnRead) override {
        std::unique_lock lock(m_mutex);
        ++m_nReads;
        if (!IsOpen(hRequest) || !Pass(lock, HttpStep::Read, hRequest))
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
        std::lock_guard lock(m_mutex);
        m_aClosed.push_back(hInternet);
        if (!IsOpen(hInternet))
            return false;
        CloseTree(hInternet);
        m_stepBroken.notify_all();
        return true;
    }

    // The stalled step goes on as if the network had only been slow.
    void EndStall() {
        std::lock_guard lock(m_mutex);
        m_stallingStep.reset();
        m_stepBroken.notify_all();
    }
    // The stalling step has been reached.
    bool IsStalled() const {
        std::lock_guard lock(m_mutex);
        return m_bStalled;
    }
    std::vector<HttpHandle> Closed() const {
        std::lock_guard lock(m_mutex);
        return m_aClosed;
    }
    bool AllClosed() const {
        std::lock_guard lock(m_mutex);
        return m_setOpen.empty();
    }

private:
    bool IsOpen(HttpHandle hInternet) const { return m_setOpen.count(hInternet) == 1; }
    void CloseTree(HttpHandle hInternet) {
        m_setOpen.erase(hInternet);
        for (const auto& [hChild, hParent] : m_mapParents)
            if (hParent == hInternet && IsOpen(hChild))
                CloseTree(hChild);
    }
    // Whether the step goes through. A step on no handle (going online) stalls on the Internet
    // handle, the only one open then.
    bool Pass(std::unique_lock<std::mutex>& lock, HttpStep step, HttpHandle hOn) {
        if (m_failingStep == step)
            return false;
        if (m_stallingStep != step || m_setOpen.empty())
            return true;
        const HttpHandle hWaited = hOn != HTTP_NULL_HANDLE ? hOn : *m_setOpen.begin();
        m_bStalled = true;
        m_stepBroken.wait(lock, [&] { return !IsOpen(hWaited) || !m_stallingStep; });
        return IsOpen(hWaited);
    }
    HttpHandle Issue(std::unique_lock<std::mutex>& lock, HttpStep step, HttpHandle hParent) {
        if (!Pass(lock, step, hParent))
            return HTTP_NULL_HANDLE;
        const HttpHandle hInternet = m_hNext++;
        m_aIssued.push_back(hInternet);
        m_setOpen.insert(hInternet);
        m_mapParents[hInternet] = hParent;
        return hInternet;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_stepBroken;
};

} // namespace qv::test
