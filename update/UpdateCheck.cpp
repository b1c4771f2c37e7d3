#include "update/UpdateCheck.h"

#include "platform/SettingsKey.h"
#include "update/UpdateDate.h"
#include "update/UpdateFetch.h"
#include "update/UpdateSignature.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

namespace qv {
namespace {

constexpr DWORD LAST_CHECK_SIZE = 5;
constexpr DWORD LAST_SUCCESS_BUFFER_SIZE = 10;

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

// The text of a REG_SZ read into a fixed buffer: up to its first zero, or whole without one.
std::string TextOf(const char* pData, DWORD nSize) {
    return std::string(pData, std::find(pData, pData + nSize, '\0'));
}

// A text value as stored, up to its first zero; none when it cannot be read whole within nLimit.
std::optional<std::string> ReadText(const CSettingsKey& key, const char* pszName, DWORD nLimit) {
    const auto value = key.Read(pszName, nLimit);
    if (!value)
        return std::nullopt;
    return TextOf(reinterpret_cast<const char*>(value->aData.data()),
                  static_cast<DWORD>(value->aData.size()));
}

} // namespace

bool IsAutomaticCheckDue(int nToday, int nLastCheck) {
    constexpr int WEEK = 7;
    return nToday - nLastCheck > WEEK || nToday < nLastCheck;
}

CUpdateCheck::CUpdateCheck(CRegistryService& registry, RegKey hRoot, const UpdateServices& services)
    : m_registry(registry), m_hRoot(hRoot), m_http(services.http), m_clock(services.clock),
      m_signatures(services.signatures), m_config(services.config) {}

int CUpdateCheck::CheckForUpdate() {
    ReleaseBody();
    CUpdateFetch fetch(m_http, m_clock, m_config);
    {
        std::lock_guard lock(m_mutex);
        if (m_bAbandoned)
            return UPDATE_FAILED;
        m_pFetch = &fetch;
    }
    const std::optional<std::string> strBody = fetch.Fetch();
    {
        std::lock_guard lock(m_mutex);
        m_pFetch = nullptr;
    }
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
    if (m_pFetch)
        m_pFetch->Cancel();
}

bool CUpdateCheck::IsAbandoned() const {
    std::lock_guard lock(m_mutex);
    return m_bAbandoned;
}

void CUpdateCheck::ReleaseBody() {
    std::string().swap(m_strBody);
}

CSettingsKey CUpdateCheck::OpenAppKey() {
    return {m_registry, m_hRoot, true, AccessUnder(m_hRoot, REGACCESS_ALL)};
}

// Without the key nothing is known, not even that no release was reported yet.
void CUpdateCheck::LoadLastSuccessDate() {
    const CSettingsKey key = OpenAppKey();
    if (key.IsOpen())
        m_strLastSuccess = ReadText(key, UPDATE_VALUE_LAST_SUCCESS, LAST_SUCCESS_BUFFER_SIZE)
                               .value_or(FormatUpdateDate(m_config.releaseDate));
}

bool CUpdateCheck::SaveLastSuccessDate(const CalendarDate& date) {
    const std::string strDate = FormatUpdateDate(date);
    return OpenAppKey().Write(UPDATE_VALUE_LAST_SUCCESS, REGTYPE_SZ,
                              {strDate.begin(), strDate.begin() + UPDATE_DATE_LENGTH});
}

bool CUpdateCheck::StampLastUpdate() {
    // The last byte stays zero whatever the day, so the text always ends within the value.
    char szDay[LAST_CHECK_SIZE] = {};
    std::snprintf(szDay, sizeof szDay, "%d", m_clock.UtcDayOfYear());
    return OpenAppKey().Write(UPDATE_VALUE_LAST_CHECK, REGTYPE_SZ, {szDay, szDay + sizeof szDay});
}

std::optional<int> CUpdateCheck::LoadLastUpdate() {
    if (const auto strDay = ReadText(OpenAppKey(), UPDATE_VALUE_LAST_CHECK, LAST_CHECK_SIZE))
        return LeadingNumber(*strDay);
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
