#include "update/UpdateFetch.h"

#include "update/UpdateCheck.h"
#include "update/UpdateDate.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>

namespace qv {
namespace {

constexpr WORD HTTPS_PORT = 443;
constexpr WORD HTTP_PORT = 80;

// Digits only, around them at most blanks; a sign, a fraction or a length beyond the limit is
// no length a description can have.
std::optional<DWORD> ParseContentLength(std::string_view strText) {
    while (!strText.empty() && IsBlank(strText.front()))
        strText.remove_prefix(1);
    while (!strText.empty() && IsBlank(strText.back()))
        strText.remove_suffix(1);
    if (strText.empty())
        return std::nullopt;
    unsigned long nLength = 0;
    for (const char c : strText) {
        if (c < '0' || c > '9')
            return std::nullopt;
        nLength = nLength * 10 + static_cast<unsigned long>(c - '0');
        if (nLength > UPDATE_BODY_LIMIT)
            return std::nullopt;
    }
    return static_cast<DWORD>(nLength);
}

bool IsRedirect(DWORD dwStatus) {
    return dwStatus == 301 || dwStatus == 302 || dwStatus == 303 || dwStatus == 307 ||
           dwStatus == 308;
}

// What one request came back with: the description, or the server to ask next.
struct Answer {
    std::optional<std::string> strBody;
    std::optional<UpdateServer> redirect;
};

} // namespace

// The download and everything it shares with the check that waits for it.
class CFetchJob {
public:
    CFetchJob(CHttpService& http, CClockService& clock, const UpdateConfig& config)
        : m_http(http), m_clock(clock), m_config(config), m_nStartMs(clock.TickMs()) {}

    // On the download's thread.
    void Run() {
        std::optional<std::string> strBody = Download();
        std::lock_guard lock(m_mutex);
        m_strBody = std::move(strBody);
        m_bDone = true;
        m_ended.notify_all();
    }
    // The service's clock decides, looked at a few times a second: one clock bounds the whole
    // check, however its calls go.
    std::optional<std::string> WaitForBody() {
        constexpr std::chrono::milliseconds DEADLINE_POLL{100};
        std::unique_lock lock(m_mutex);
        while (!m_bDone && !m_bCancelled && !IsPastDeadline())
            m_ended.wait_for(lock, DEADLINE_POLL);
        if (m_bDone && !m_bCancelled)
            return std::move(m_strBody);
        CancelLocked();
        return std::nullopt;
    }
    void Cancel() {
        std::lock_guard lock(m_mutex);
        CancelLocked();
    }

private:
    // Closes a handle on every way out of a scope; a null handle is left alone. Scopes opened in
    // the order of the calls close the request, then the connection, then the Internet handle.
    class CHandleScope {
    public:
        CHandleScope(CFetchJob& job, HttpHandle hInternet) : m_job(job), m_hInternet(hInternet) {}
        ~CHandleScope() {
            if (m_hInternet != HTTP_NULL_HANDLE)
                m_job.CloseHandle(m_hInternet);
        }
        CHandleScope(const CHandleScope&) = delete;
        CHandleScope& operator=(const CHandleScope&) = delete;

    private:
        CFetchJob& m_job;
        HttpHandle m_hInternet;
    };

    void CancelLocked() {
        m_bCancelled = true;
        if (m_hOpenInternet != HTTP_NULL_HANDLE)
            m_http.CloseHandle(std::exchange(m_hOpenInternet, HTTP_NULL_HANDLE));
        m_ended.notify_all();
    }
    // Unless a cancel has closed the Internet handle, and with it every handle under it, already.
    void CloseHandle(HttpHandle hInternet) {
        std::lock_guard lock(m_mutex);
        if (m_bCancelled)
            return;
        if (hInternet == m_hOpenInternet)
            m_hOpenInternet = HTTP_NULL_HANDLE;
        m_http.CloseHandle(hInternet);
    }
    bool IsPastDeadline() {
        return m_clock.TickMs() - m_nStartMs >= static_cast<std::uint64_t>(m_config.nDeadlineMs);
    }

    std::optional<std::string> Download() {
        const HttpHandle hInternet = m_http.Open(UPDATE_AGENT, UPDATE_CALL_TIMEOUT_MS);
        if (hInternet == HTTP_NULL_HANDLE)
            return std::nullopt;
        {
            std::lock_guard lock(m_mutex);
            if (m_bCancelled) {
                m_http.CloseHandle(hInternet);
                return std::nullopt;
            }
            m_hOpenInternet = hInternet;
        }
        CHandleScope internetScope(*this, hInternet);
        if (!m_http.GoOnline())
            return std::nullopt;
        UpdateServer server = m_config.server;
        for (int nRedirects = 0; nRedirects <= UPDATE_REDIRECT_LIMIT; ++nRedirects) {
            Answer answer = Ask(hInternet, server);
            if (!answer.redirect)
                return std::move(answer.strBody);
            server = std::move(*answer.redirect);
        }
        return std::nullopt;
    }

    Answer Ask(HttpHandle hInternet, const UpdateServer& server) {
        if (IsPastDeadline())
            return {};
        const WORD nPort = server.nPort != 0 ? server.nPort
                           : server.bSecure  ? HTTPS_PORT
                                             : HTTP_PORT;
        const HttpHandle hConnect = m_http.Connect(hInternet, server.strHost, nPort);
        if (hConnect == HTTP_NULL_HANDLE)
            return {};
        CHandleScope connectScope(*this, hConnect);
        const HttpHandle hRequest = m_http.OpenRequest(hConnect, server.strObject, server.bSecure);
        if (hRequest == HTTP_NULL_HANDLE)
            return {};
        CHandleScope requestScope(*this, hRequest);
        DWORD dwStatus = 0;
        if (!m_http.SendRequest(hRequest) || IsPastDeadline() ||
            !m_http.QueryStatusCode(hRequest, &dwStatus))
            return {};
        if (IsRedirect(dwStatus)) {
            // A moved description is followed, but never off HTTPS.
            std::string strLocation;
            if (!m_http.QueryLocation(hRequest, &strLocation))
                return {};
            return {std::nullopt, ResolveRedirect(server, strLocation)};
        }
        std::string strLength;
        if (dwStatus < 200 || dwStatus > 299 || !m_http.QueryContentLength(hRequest, &strLength))
            return {};
        const auto nLength = ParseContentLength(strLength);
        if (!nLength)
            return {};
        return {ReadBody(hRequest, *nLength), std::nullopt};
    }

    // Exactly nLength bytes, in as many reads as the response takes; a response that ends sooner
    // is cut short and not a description, and one that trickles past the deadline is none either.
    std::optional<std::string> ReadBody(HttpHandle hRequest, DWORD nLength) {
        std::string strBody(nLength, '\0');
        DWORD nHave = 0;
        while (nHave < nLength) {
            const DWORD nWant = nLength - nHave;
            DWORD nRead = 0;
            if (!m_http.ReadFile(hRequest, reinterpret_cast<BYTE*>(strBody.data()) + nHave, nWant,
                                 &nRead) ||
                nRead == 0 || nRead > nWant || IsPastDeadline())
                return std::nullopt;
            nHave += nRead;
        }
        return strBody;
    }

    CHttpService& m_http;
    CClockService& m_clock;
    const UpdateConfig m_config;
    const std::uint64_t m_nStartMs;
    // Guards all below.
    std::mutex m_mutex;
    std::condition_variable m_ended;
    HttpHandle m_hOpenInternet = HTTP_NULL_HANDLE;
    bool m_bCancelled = false;
    bool m_bDone = false;
    std::optional<std::string> m_strBody;
};

CUpdateFetch::CUpdateFetch(CHttpService& http, CClockService& clock, const UpdateConfig& config)
    : m_pJob(std::make_shared<CFetchJob>(http, clock, config)) {}

std::optional<std::string> CUpdateFetch::Fetch() {
    std::thread([pJob = m_pJob] { pJob->Run(); }).detach();
    return m_pJob->WaitForBody();
}

void CUpdateFetch::Cancel() {
    m_pJob->Cancel();
}

} // namespace qv
