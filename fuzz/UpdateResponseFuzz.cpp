// Hostile update servers, hostile stored dates and a clock on any day: whatever comes, the check
// keeps every property checked at the end of a run.
#include "fuzz/FuzzInput.h"
#include "platform/SettingsKey.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/StandInUpdate.h"
#include "update/UpdateCheck.h"
#include "update/UpdateDate.h"
#include "update/UpdateSignature.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::fuzz {
namespace {

constexpr BYTE STEP_COUNT = 10;

// A length, at most nLimit, then as many bytes.
std::string Text(CFuzzInput& input, std::size_t nLimit) {
    return input.Text(std::min<std::size_t>(input.Byte(), nLimit));
}

bool IsTrustedDate(std::string_view strText, const CalendarDate& today) {
    const auto date = ParseUpdateDate(strText);
    return date && *date <= DayAfter(today);
}

} // namespace
} // namespace qv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    using namespace qv;
    fuzz::CFuzzInput input(pData, nSize);
    test::CMemoryRegistry registry;
    test::CStandInUpdate update;
    test::CScriptedHttp& http = update.http;

    const BYTE nStep = input.Byte() % (fuzz::STEP_COUNT + 1);
    if (nStep < fuzz::STEP_COUNT)
        http.m_failingStep = static_cast<test::HttpStep>(nStep);
    http.m_nChunk = std::max<DWORD>(input.Byte(), 1);
    http.m_dwStatus = input.Value<WORD>();
    const bool bLengthLies = input.Byte() & 1;
    if (bLengthLies && input.Byte() & 1)
        http.m_strContentLength = fuzz::Text(input, 32);
    for (int nRedirects = input.Byte() % 4; nRedirects > 0; --nRedirects)
        http.m_aRedirects.push_back(fuzz::Text(input, 64));
    // A day of the two-digit years' century, so that every date a description may carry is near.
    update.clock.m_today = {2000 + input.Byte() % 69, 1 + input.Byte() % 12, 1 + input.Byte() % 28};
    const bool bPlanted = input.Byte() & 1;
    const std::string strPlanted = fuzz::Text(input, 16);
    if (bPlanted)
        registry.Put(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_SUCCESS,
                     {REGTYPE_SZ, std::vector<BYTE>(strPlanted.begin(), strPlanted.end())});
    // The body as it is, signed, or signed and then changed.
    const std::string strText = fuzz::Text(input, 255);
    const BYTE nForm = input.Byte() % 3;
    http.m_strBody = nForm == 0 ? strText : test::Signed(strText);
    if (nForm == 2)
        input.Patch(reinterpret_cast<BYTE*>(http.m_strBody.data()), http.m_strBody.size());
    if (!bLengthLies)
        http.m_strContentLength = std::to_string(http.m_strBody.size());
    // Each read the server answers may take a second of the deadline.
    if (input.Byte() & 1)
        http.m_onRead = [&update] { update.clock.m_nTickMs += 1000; };

    CUpdateCheck check(registry, REGKEY_CURRENT_USER, update.services);
    const int nResult = check.CheckForUpdate();

    fuzz::Check(
        std::ranges::all_of(http.m_aRequests,
                            [](const auto& strUrl) { return strUrl.starts_with("https://"); }),
        "every request goes over HTTPS");
    fuzz::Check(http.AllClosed() && http.m_nEarlyCloses == 0,
                "every handle opened is closed once, after those opened under it");
    if (nResult == UPDATE_SHOW_TEXT) {
        const auto signedText = SplitSignedText(http.m_strBody);
        fuzz::Check(http.m_dwStatus >= 200 && http.m_dwStatus <= 299, "only a 2xx is shown");
        fuzz::Check(signedText && signedText->strText == check.Body() &&
                        update.signatures.VerifyP256(test::TestKey(), signedText->strText,
                                                     signedText->signature),
                    "the text shown is the text the key signed");
        fuzz::Check(fuzz::IsTrustedDate(check.Body(), update.clock.m_today),
                    "the text shown begins with a date not after tomorrow");
    } else {
        fuzz::Check(check.Body().empty(), "no text is kept unless it is shown");
    }
    const auto stored = registry.Get(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_SUCCESS);
    const std::string strStored =
        stored ? std::string(stored->aData.begin(), stored->aData.end()) : "";
    const bool bUnchanged = bPlanted ? stored && strStored == strPlanted : !stored;
    fuzz::Check(bUnchanged || (strStored.size() == UPDATE_DATE_LENGTH &&
                               fuzz::IsTrustedDate(strStored, update.clock.m_today)),
                "only a well-formed date not after tomorrow is ever stored");
    return 0;
}
