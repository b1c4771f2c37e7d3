#include "update/UpdateCheck.h"

#include "device/CDRom.h"
#include "update/UpdateDate.h"
#include "update/UpdateSignature.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <string_view>
#include <thread>
#include <utility>

namespace qv {
namespace {

constexpr DWORD LAST_CHECK_SIZE = 5;
constexpr DWORD LAST_SUCCESS_BUFFER_SIZE = 10;
constexpr WORD HTTPS_PORT = 443;
constexpr WORD HTTP_PORT = 80;

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The decimal number at the start of the text, as older versions stored and read it: leading
// blanks and one sign allowed, no digits reading as 0. The 5-byte value bounds the digits.
int LeadingNumber(std::string_view strText) {
    std::size_t i = 0;
    while (i < strText.size() && IsBlank(strText[i]))
        ++i;
    const bool bNegative = i < strText.size() && strText[i] == '-';
    if (i < strText.size() && (strText[i] == '-' || strText[i] == '+'))
        ++i;
    int nValue = 0;
    for (; i < strText.size() && IsDigit(strText[i]); ++i)
        nValue = nValue * 10 + (strText[i] - '0');
    return bNegative ? -nValue : nValue;
}

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
        if (!IsDigit(c))
            return std::nullopt;
        nLength = nLength * 10 + static_cast<unsigned long>(c - '0');
        if (nLength > UPDATE_BODY_LIMIT)
            return std::nullopt;
    }
    return static_cast<DWORD>(nLength);
}

// The text of a REG_SZ read into a fixed buffer: up to its first zero, or whole without one.
std::string TextOf(const char* pData, DWORD nSize) {
    return std::string(pData, std::find(pData, pData + nSize, '\0'));
}

bool IsRedirect(DWORD dwStatus) {
    return dwStatus == 301 || dwStatus == 302 || dwStatus == 303 || dwStatus == 307 ||
           dwStatus == 308;
}

} // namespace

// What one request of the check came back with: the description, or the server to ask next.
struct UpdateAnswer {
    std::optional<std::string> strBody;
    std::optional<UpdateServer> redirect;
};

// Expires the check once its deadline has passed, from a thread of its own, so that a call the
// server holds open, by trickling its answer or by sending nothing, is broken too.
class CDeadlineWatch {
public:
    CDeadlineWatch(CUpdateCheck& check, int nDeadlineMs)
        : m_thread([this, &check, nDeadlineMs] {
              bool bStopped = false;
              {
                  std::unique_lock lock(m_mutex);
                  bStopped = m_stopped.wait_for(lock, std::chrono::milliseconds(nDeadlineMs),
                                                [this] { return m_bStopped; });
              }
              if (!bStopped)
                  check.Expire();
          }) {}
    ~CDeadlineWatch() {
        {
            std::lock_guard lock(m_mutex);
            m_bStopped = true;
        }
        m_stopped.notify_all();
        m_thread.join();
    }
    CDeadlineWatch(const CDeadlineWatch&) = delete;
    CDeadlineWatch& operator=(const CDeadlineWatch&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_bStopped = false;
    std::thread m_thread; // last, so that it starts once the rest exists
};

// Closes a handle of the check on every way out of a scope; a null handle is left alone. Scopes
// opened in the order of the calls close the request, then the connection, then the Internet
// handle.
class CCheckHandleScope {
public:
    CCheckHandleScope(CUpdateCheck& check, HttpHandle hInternet)
        : m_check(check), m_hInternet(hInternet) {}
    ~CCheckHandleScope() {
        if (m_hInternet != HTTP_NULL_HANDLE)
            m_check.CloseHandle(m_hInternet);
    }
    CCheckHandleScope(const CCheckHandleScope&) = delete;
    CCheckHandleScope& operator=(const CCheckHandleScope&) = delete;

private:
    CUpdateCheck& m_check;
    HttpHandle m_hInternet;
};

bool IsAutomaticCheckDue(int nToday, int nLastCheck) {
    constexpr int WEEK = 7;
    return nToday - nLastCheck > WEEK || nToday < nLastCheck;
}

CUpdateCheck::CUpdateCheck(CRegistryService& registry, RegKey hRoot, const UpdateServices& services)
    : m_registry(registry), m_hRoot(hRoot), m_http(services.http), m_clock(services.clock),
      m_signatures(services.signatures), m_config(services.config) {}

int CUpdateCheck::CheckForUpdate() {
    ReleaseBody();
    const std::optional<std::string> strBody = Fetch();
    if (!strBody)
        return UPDATE_FAILED;
    std::optional<std::string> strText = TrustedText(*strBody);
    if (!strText)
        return UPDATE_FAILED;
    return Compare(std::move(*strText));
}

std::optional<std::string> CUpdateCheck::TrustedText(const std::string& strBody) {
    const auto signedText = SplitSignedText(strBody);
    if (!signedText ||
        !m_signatures.VerifyP256(m_config.publicKey, signedText->strText, signedText->signature))
        return std::nullopt;
    return std::string(signedText->strText);
}

int CUpdateCheck::Compare(std::string strText) {
    // A page that does not begin with a date is no description, whoever signed it; nor is one
    // dated after tomorrow, the day of slack for time zones, which would make every genuine
    // release until that date look old.
    const auto published = ParseUpdateDate(strText);
    if (!published || *published > DayAfter(m_clock.LocalToday()))
        return UPDATE_FAILED;
    // Held until the last store, so that an abandon either comes first and stops every store or
    // waits until they are done.
    std::lock_guard lock(m_mutex);
    if (m_bAbandoned)
        return UPDATE_FAILED;
    LoadLastSuccessDate();
    if (*published <= NewestReported())
        return UPDATE_NOTHING_NEWER;
    SaveLastSuccessDate(*published);
    m_strBody = std::move(strText);
    return UPDATE_SHOW_TEXT;
}

CalendarDate CUpdateCheck::NewestReported() {
    // A stored text that is no date holds no release; a date after tomorrow was never a release,
    // but the work of a server that an older version trusted.
    const auto stored = ParseUpdateDate(m_strLastSuccess);
    if (stored && *stored > m_config.releaseDate && *stored <= DayAfter(m_clock.LocalToday()))
        return *stored;
    return m_config.releaseDate;
}

void CUpdateCheck::Abandon() {
    std::lock_guard lock(m_mutex);
    m_bAbandoned = true;
    if (m_hOpenInternet != HTTP_NULL_HANDLE)
        m_http.CloseHandle(std::exchange(m_hOpenInternet, HTTP_NULL_HANDLE));
}

void CUpdateCheck::Expire() {
    std::lock_guard lock(m_mutex);
    m_bExpired = true;
    if (m_hOpenInternet != HTTP_NULL_HANDLE)
        m_http.CloseHandle(std::exchange(m_hOpenInternet, HTTP_NULL_HANDLE));
}

bool CUpdateCheck::IsPastDeadline() {
    return m_clock.TickMs() - m_nStartMs >= static_cast<std::uint64_t>(m_config.nDeadlineMs);
}

bool CUpdateCheck::IsAbandoned() const {
    std::lock_guard lock(m_mutex);
    return m_bAbandoned;
}

void CUpdateCheck::CloseHandle(HttpHandle hInternet) {
    std::lock_guard lock(m_mutex);
    if (m_bAbandoned || m_bExpired)
        return;
    if (hInternet == m_hOpenInternet)
        m_hOpenInternet = HTTP_NULL_HANDLE;
    m_http.CloseHandle(hInternet);
}

std::optional<std::string> CUpdateCheck::Fetch() {
    m_nStartMs = m_clock.TickMs();
    {
        std::lock_guard lock(m_mutex);
        m_bExpired = false;
    }
    const CDeadlineWatch watch(*this, m_config.nDeadlineMs);
    const HttpHandle hInternet = m_http.Open(UPDATE_AGENT, UPDATE_CALL_TIMEOUT_MS);
    if (hInternet == HTTP_NULL_HANDLE)
        return std::nullopt;
    {
        std::lock_guard lock(m_mutex);
        if (m_bAbandoned || m_bExpired) {
            m_http.CloseHandle(hInternet);
            return std::nullopt;
        }
        m_hOpenInternet = hInternet;
    }
    CCheckHandleScope internetScope(*this, hInternet);
    if (!m_http.GoOnline())
        return std::nullopt;
    UpdateServer server = m_config.server;
    for (int nRedirects = 0; nRedirects <= UPDATE_REDIRECT_LIMIT; ++nRedirects) {
        UpdateAnswer answer = Ask(hInternet, server);
        if (!answer.redirect)
            return std::move(answer.strBody);
        server = std::move(*answer.redirect);
    }
    return std::nullopt;
}

UpdateAnswer CUpdateCheck::Ask(HttpHandle hInternet, const UpdateServer& server) {
    if (IsPastDeadline())
        return {};
    const WORD nPort = server.nPort != 0 ? server.nPort : server.bSecure ? HTTPS_PORT : HTTP_PORT;
    const HttpHandle hConnect = m_http.Connect(hInternet, server.strHost, nPort);
    if (hConnect == HTTP_NULL_HANDLE)
        return {};
    CCheckHandleScope connectScope(*this, hConnect);
    const HttpHandle hRequest = m_http.OpenRequest(hConnect, server.strObject, server.bSecure);
    if (hRequest == HTTP_NULL_HANDLE)
        return {};
    CCheckHandleScope requestScope(*this, hRequest);
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

// Exactly nLength bytes, in as many reads as the response takes; a response that ends sooner is
// cut short and not a description, and one that trickles past the deadline is none either.
std::optional<std::string> CUpdateCheck::ReadBody(HttpHandle hRequest, DWORD nLength) {
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

void CUpdateCheck::ReleaseBody() {
    std::string().swap(m_strBody);
}

RegKey CUpdateCheck::CreateAppKey() {
    RegKey hKey = REGKEY_NULL;
    if (m_registry.CreateKey(m_hRoot, SETTINGS_KEY, AccessUnder(m_hRoot, REGACCESS_ALL), &hKey) !=
        REGSTATUS_SUCCESS)
        return REGKEY_NULL;
    return hKey;
}

void CUpdateCheck::LoadLastSuccessDate() {
    const RegKey hKey = CreateAppKey();
    if (hKey == REGKEY_NULL)
        return;
    CRegKeyScope scope(m_registry, hKey);
    char aData[LAST_SUCCESS_BUFFER_SIZE] = {};
    DWORD nSize = sizeof aData;
    if (m_registry.QueryValue(hKey, UPDATE_VALUE_LAST_SUCCESS, nullptr,
                              reinterpret_cast<BYTE*>(aData), &nSize) == REGSTATUS_SUCCESS) {
        m_strLastSuccess = TextOf(aData, std::min<DWORD>(nSize, sizeof aData));
        return;
    }
    m_strLastSuccess = FormatUpdateDate(m_config.releaseDate);
    SaveLastSuccessDate(m_config.releaseDate);
}

bool CUpdateCheck::SaveLastSuccessDate(const CalendarDate& date) {
    const RegKey hKey = CreateAppKey();
    if (hKey == REGKEY_NULL)
        return false;
    CRegKeyScope scope(m_registry, hKey);
    const std::string strDate = FormatUpdateDate(date);
    return m_registry.SetValue(hKey, UPDATE_VALUE_LAST_SUCCESS, REGTYPE_SZ,
                               reinterpret_cast<const BYTE*>(strDate.data()),
                               static_cast<DWORD>(UPDATE_DATE_LENGTH)) == REGSTATUS_SUCCESS;
}

bool CUpdateCheck::StampLastUpdate() {
    const RegKey hKey = CreateAppKey();
    if (hKey == REGKEY_NULL)
        return false;
    CRegKeyScope scope(m_registry, hKey);
    // The last byte stays zero whatever the day, so the text always ends within the value.
    char szDay[LAST_CHECK_SIZE] = {};
    std::snprintf(szDay, sizeof szDay, "%d", m_clock.UtcDayOfYear());
    return m_registry.SetValue(hKey, UPDATE_VALUE_LAST_CHECK, REGTYPE_SZ,
                               reinterpret_cast<const BYTE*>(szDay),
                               sizeof szDay) == REGSTATUS_SUCCESS;
}

std::optional<int> CUpdateCheck::LoadLastUpdate() {
    // The key is closed before the stamp, which opens it afresh as every access does.
    {
        const RegKey hKey = CreateAppKey();
        CRegKeyScope scope(m_registry, hKey);
        char aData[LAST_CHECK_SIZE] = {};
        DWORD nSize = sizeof aData;
        if (hKey != REGKEY_NULL &&
            m_registry.QueryValue(hKey, UPDATE_VALUE_LAST_CHECK, nullptr,
                                  reinterpret_cast<BYTE*>(aData), &nSize) == REGSTATUS_SUCCESS)
            return LeadingNumber(TextOf(aData, std::min<DWORD>(nSize, sizeof aData)));
    }
    StampLastUpdate();
    return std::nullopt;
}

bool CUpdateCheck::PrepareAutomaticCheck(std::optional<int> nLastCheck) {
    if (!nLastCheck || !IsAutomaticCheckDue(m_clock.UtcDayOfYear(), *nLastCheck))
        return false;
    StampLastUpdate();
    return true;
}

} // namespace qv
