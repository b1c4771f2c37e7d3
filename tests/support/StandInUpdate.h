// The update check's services for tests: a scripted server, a clock the test sets, signatures
// with keys of the tests' own, and a view that records what a check shows, from any thread.
#pragma once

#include "platform/Clock.h"
#include "platform/HttpService.h"
#include "platform/SignatureService.h"
#include "update/UpdateSignature.h"
#include "update/UpdateWorker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
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
    Location,
    Read,
};

// A server that answers as the test scripts it. Closing a handle closes those opened under it, as
// the Internet calls do, and breaks a step stalled on one of them. Safe to use from a worker thread
// while a test abandons the check from another.
class CScriptedHttp : public CHttpService {
public:
    std::optional<HttpStep> m_failingStep;
    // The first call of this step blocks until its handle is closed, and then fails, or until
    // EndStall; with m_bStallOutlivesClose, as a call that no close breaks, until EndStall only.
    std::optional<HttpStep> m_stallingStep;
    bool m_bStallOutlivesClose = false;
    // The first requests are answered 302 with these Location headers, one each.
    std::vector<std::string> m_aRedirects;
    DWORD m_dwStatus = 200;
    std::optional<std::string> m_strContentLength; // nullopt: no such header
    std::string m_strBody;
    DWORD m_nChunk = 0xFFFFFFFF;    // the most one read delivers
    std::function<void()> m_onRead; // after each read that delivers

    std::string m_strOpened;              // the agent and the timeout in ms
    std::vector<std::string> m_aRequests; // scheme://host:port/object
    // Closes of a handle not open, or of one with a handle still open under it, as an abandon
    // closes the Internet handle to break a call.
    int m_nEarlyCloses = 0;

    // A 200 response with a true Content-Length, read from its start by the next check.
    void Serve(const std::string& strBody) {
        m_strBody = strBody;
        m_strContentLength = std::to_string(strBody.size());
        m_nDelivered = 0;
    }

    HttpHandle Open(const std::string& strAgent, DWORD nTimeoutMs) override {
        std::unique_lock lock(m_mutex);
        m_strOpened = strAgent + ", " + std::to_string(nTimeoutMs);
        return Issue(lock, HttpStep::Open, HTTP_NULL_HANDLE);
    }
    bool GoOnline() override { return Pass(HttpStep::GoOnline, HTTP_NULL_HANDLE); }
    HttpHandle Connect(HttpHandle hInternet, const std::string& strHost, WORD nPort) override {
        std::unique_lock lock(m_mutex);
        m_strServer = strHost + ":" + std::to_string(nPort);
        return Issue(lock, HttpStep::Connect, hInternet);
    }
    HttpHandle OpenRequest(HttpHandle hConnect, const std::string& strObject,
                           bool bSecure) override {
        std::unique_lock lock(m_mutex);
        m_aRequests.push_back((bSecure ? "https://" : "http://") + m_strServer + "/" + strObject);
        return Issue(lock, HttpStep::OpenRequest, hConnect);
    }
    bool SendRequest(HttpHandle hRequest) override { return Pass(HttpStep::Send, hRequest); }
    bool QueryStatusCode(HttpHandle hRequest, DWORD* pdwStatus) override {
        std::unique_lock lock(m_mutex);
        *pdwStatus = IsRedirected() ? 302 : m_dwStatus;
        return Pass(lock, HttpStep::StatusCode, hRequest);
    }
    bool QueryContentLength(HttpHandle hRequest, std::string* pstrText) override {
        std::unique_lock lock(m_mutex);
        *pstrText = m_strContentLength.value_or("");
        return Pass(lock, HttpStep::ContentLength, hRequest) && m_strContentLength;
    }
    bool QueryLocation(HttpHandle hRequest, std::string* pstrText) override {
        std::unique_lock lock(m_mutex);
        *pstrText = IsRedirected() ? m_aRedirects[m_aRequests.size() - 1] : "";
        return Pass(lock, HttpStep::Location, hRequest) && IsRedirected();
    }
    bool ReadFile(HttpHandle hRequest, BYTE* pBuffer, DWORD nSize, DWORD* pnRead) override {
        std::unique_lock lock(m_mutex);
        if (!Pass(lock, HttpStep::Read, hRequest))
            return false;
        *pnRead = static_cast<DWORD>(m_strBody.copy(reinterpret_cast<char*>(pBuffer),
                                                    std::min(nSize, m_nChunk), m_nDelivered));
        m_nDelivered += *pnRead;
        if (m_onRead && *pnRead > 0)
            m_onRead();
        return true;
    }
    bool CloseHandle(HttpHandle hInternet) override {
        std::lock_guard lock(m_mutex);
        const bool bOpen = m_mapOpen.erase(hInternet) > 0;
        // Handles are issued in rising order, so each parent goes before what was opened under it.
        const auto nClosedUnder = std::erase_if(m_mapOpen, [this](const auto& handle) {
            return handle.second != HTTP_NULL_HANDLE && !m_mapOpen.contains(handle.second);
        });
        m_nEarlyCloses += !bOpen || nClosedUnder > 0;
        m_changed.notify_all();
        return bOpen;
    }

    void EndStall() {
        std::lock_guard lock(m_mutex);
        m_stallingStep.reset();
        m_changed.notify_all();
    }
    // Past the stalled call's return, a download left alone in it touches the exchange no more.
    bool WaitForStall() { return WaitUntil(m_bStalled); }
    bool WaitForStallEnd() { return WaitUntil(m_bStallEnded); }
    bool AllClosed() const {
        std::lock_guard lock(m_mutex);
        return m_mapOpen.empty();
    }

private:
    bool WaitUntil(const bool& bFlag) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [&bFlag] { return bFlag; });
    }
    // The latest request is one that the script redirects.
    bool IsRedirected() const { return m_aRequests.size() <= m_aRedirects.size(); }
    bool Pass(HttpStep step, HttpHandle hOn) {
        std::unique_lock lock(m_mutex);
        return Pass(lock, step, hOn);
    }
    // Whether the step goes through; every step after going online works on an open handle.
    bool Pass(std::unique_lock<std::mutex>& lock, HttpStep step, HttpHandle hOn) {
        if (m_failingStep == step || (step > HttpStep::GoOnline && !m_mapOpen.contains(hOn)))
            return false;
        if (m_stallingStep != step || m_bStalled)
            return true;
        m_bStalled = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] {
            return (!m_bStallOutlivesClose && !m_mapOpen.contains(hOn)) || !m_stallingStep;
        });
        m_bStallEnded = true;
        m_changed.notify_all();
        return m_mapOpen.contains(hOn);
    }
    HttpHandle Issue(std::unique_lock<std::mutex>& lock, HttpStep step, HttpHandle hParent) {
        if (!Pass(lock, step, hParent))
            return HTTP_NULL_HANDLE;
        m_mapOpen[m_hNext] = hParent;
        return m_hNext++;
    }

    std::map<HttpHandle, HttpHandle> m_mapOpen; // each open handle and the one it was opened under
    bool m_bStalled = false;
    bool m_bStallEnded = false;
    std::string m_strServer; // host:port of the latest connection
    HttpHandle m_hNext = 0x100;
    std::size_t m_nDelivered = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
};

// Its ticks may be read on a worker while the test thread moves them on.
class CFakeClock : public CClockService {
public:
    int UtcDayOfYear() override { return m_nUtcDay; }
    CalendarDate LocalToday() override { return m_today; }
    std::uint64_t TickMs() override { return m_nTickMs; }

    int m_nUtcDay = 0;
    CalendarDate m_today{2027, 3, 1};
    std::atomic<std::uint64_t> m_nTickMs{0};
};

// The check's trust rules need a signature that no other text, key or signature byte matches, not
// the curve: the signature here is a keyed hash of the text. The P-256 check itself runs where the
// program makes it, in the Windows tier, over descriptions signed by scripts/sign-update.sh.
inline EcSignature TestSignature(const EcPublicKey& key, std::string_view strText) {
    const std::size_t nHash =
        std::hash<std::string>{}(std::string(key.begin(), key.end()) + std::string(strText));
    EcSignature signature{};
    for (std::size_t i = 0; i < signature.size(); ++i)
        signature[i] = static_cast<BYTE>(nHash >> (i % sizeof nHash * 8));
    return signature;
}

class CTestSignatures : public CSignatureService {
public:
    bool VerifyP256(const EcPublicKey& key, std::string_view strMessage,
                    const EcSignature& signature) override {
        return signature == TestSignature(key, strMessage);
    }
};

// A key of the tests' own; each seed makes another.
inline EcPublicKey TestKey(BYTE nSeed = 1) {
    EcPublicKey key{};
    key.fill(nSeed);
    return key;
}

// strText and its signature trailer, as scripts/sign-update.sh writes them.
inline std::string Signed(std::string_view strText, const EcPublicKey& key = TestKey()) {
    std::string strSigned = std::string(strText) + std::string(UPDATE_SIGNATURE_LABEL);
    for (const BYTE byte : TestSignature(key, strText)) {
        strSigned += "0123456789abcdef"[byte >> 4];
        strSigned += "0123456789abcdef"[byte & 0xF];
    }
    return strSigned + "\r\n";
}

class CRecordingUpdateView : public CUpdateView {
public:
    void ShowMessage(const char* pszText) override {
        std::lock_guard lock(m_mutex);
        m_aShown.push_back(std::string("message: ") + pszText);
    }
    void RunNewVersionDialog(const std::string& strText) override {
        std::lock_guard lock(m_mutex);
        m_aShown.push_back("new version: " + strText);
    }
    std::vector<std::string> Shown() const {
        std::lock_guard lock(m_mutex);
        return m_aShown;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_aShown;
};

struct CStandInUpdate {
    CScriptedHttp http;
    CFakeClock clock;
    CTestSignatures signatures;
    CRecordingUpdateView view;
    // Released before the clock's today.
    UpdateServices services{http, clock, signatures,
                            UpdateConfig{.server = {"updates.velnor.example", 8080},
                                         .publicKey = TestKey(),
                                         .releaseDate = {2026, 6, 1}},
                            view};
};

} // namespace qv::test
