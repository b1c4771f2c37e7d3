#include "update/UpdateCheck.h"

#include "platform/SettingsKey.h"
#include "update/UpdateDate.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

namespace qv {
namespace {

constexpr DWORD LAST_CHECK_SIZE = 5;
constexpr DWORD LAST_SUCCESS_BUFFER_SIZE = 10;

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

// Exactly nLength bytes, in as many reads as the response takes; a response that ends sooner
// is cut short and not a description.
std::optional<std::string> ReadBody(CHttpService& http, HttpHandle hRequest, DWORD nLength) {
    std::string strBody(nLength, '\0');
    DWORD nHave = 0;
    while (nHave < nLength) {
        const DWORD nWant = nLength - nHave;
        DWORD nRead = 0;
        if (!http.ReadFile(hRequest, reinterpret_cast<BYTE*>(strBody.data()) + nHave, nWant,
                           &nRead) ||
            nRead == 0 || nRead > nWant)
            return std::nullopt;
        nHave += nRead;
    }
    return strBody;
}

// The text of a REG_SZ read into a fixed buffer: up to its first zero, or whole without one.
std::string TextOf(const char* pData, DWORD nSize) {
    return std::string(pData, std::find(pData, pData + nSize, '\0'));
}

} // namespace

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

CUpdateCheck::CUpdateCheck(CRegistryService& registry, RegKey hRoot, CHttpService& http,
                           CClockService& clock, UpdateServer server)
    : m_registry(registry), m_hRoot(hRoot), m_http(http), m_clock(clock),
      m_server(std::move(server)) {}

int CUpdateCheck::CheckForUpdate() {
    ReleaseBody();
    std::optional<std::string> strBody = Fetch();
    if (!strBody)
        return UPDATE_FAILED;
    return Compare(std::move(*strBody));
}

int CUpdateCheck::Compare(std::string strBody) {
    // Held until the last store, so that an abandon either comes first and stops every store or
    // waits until they are done.
    std::lock_guard lock(m_mutex);
    if (m_bAbandoned)
        return UPDATE_FAILED;
    LoadLastSuccessDate();
    // An error page or a proxy's page is not a description, whatever it says.
    const auto published = ParseUpdateDate(strBody);
    if (!published)
        return UPDATE_FAILED;
    // A stored date that is no date, or none at all, holds no release yet reported.
    const auto lastSuccess = ParseUpdateDate(m_strLastSuccess);
    if (lastSuccess && *published <= *lastSuccess)
        return UPDATE_NOTHING_NEWER;
    SaveLastSuccessDate(*published);
    m_strBody = std::move(strBody);
    return UPDATE_SHOW_TEXT;
}

void CUpdateCheck::Abandon() {
    std::lock_guard lock(m_mutex);
    m_bAbandoned = true;
    if (m_hOpenInternet != HTTP_NULL_HANDLE)
        m_http.CloseHandle(std::exchange(m_hOpenInternet, HTTP_NULL_HANDLE));
}

bool CUpdateCheck::IsAbandoned() const {
    std::lock_guard lock(m_mutex);
    return m_bAbandoned;
}

void CUpdateCheck::CloseHandle(HttpHandle hInternet) {
    std::lock_guard lock(m_mutex);
    if (m_bAbandoned)
        return;
    if (hInternet == m_hOpenInternet)
        m_hOpenInternet = HTTP_NULL_HANDLE;
    m_http.CloseHandle(hInternet);
}

std::optional<std::string> CUpdateCheck::Fetch() {
    const HttpHandle hInternet = m_http.Open(UPDATE_AGENT);
    if (hInternet == HTTP_NULL_HANDLE)
        return std::nullopt;
    {
        std::lock_guard lock(m_mutex);
        if (m_bAbandoned) {
            m_http.CloseHandle(hInternet);
            return std::nullopt;
        }
        m_hOpenInternet = hInternet;
    }
    CCheckHandleScope internetScope(*this, hInternet);
    if (!m_http.GoOnline())
        return std::nullopt;
    const HttpHandle hConnect = m_http.Connect(hInternet, m_server.strHost, m_server.nPort);
    if (hConnect == HTTP_NULL_HANDLE)
        return std::nullopt;
    CCheckHandleScope connectScope(*this, hConnect);
    const HttpHandle hRequest = m_http.OpenRequest(hConnect, m_server.strObject);
    if (hRequest == HTTP_NULL_HANDLE)
        return std::nullopt;
    CCheckHandleScope requestScope(*this, hRequest);
    if (!m_http.SendRequest(hRequest))
        return std::nullopt;
    DWORD dwStatus = 0;
    if (!m_http.QueryStatusCode(hRequest, &dwStatus) || dwStatus < 200 || dwStatus > 299)
        return std::nullopt;
    std::string strLength;
    if (!m_http.QueryContentLength(hRequest, &strLength))
        return std::nullopt;
    const auto nLength = ParseContentLength(strLength);
    if (!nLength)
        return std::nullopt;
    return ReadBody(m_http, hRequest, *nLength);
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
    const CalendarDate today = m_clock.LocalToday();
    m_strLastSuccess = FormatUpdateDate(today);
    SaveLastSuccessDate(today);
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
