// Hostile update servers and hostile stored dates: any step failing, any status, any
// Content-Length text or none, any body delivered in any chunks, and any bytes in
// "Last Suc Update". Whatever comes, the check ends with one of its three results, closes every
// handle it opened once, offers only a whole description that begins with a date, and stores
// nothing but a well-formed date.
#include "platform/SettingsKey.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "tests/support/FakeClock.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/ScriptedHttp.h"
#include "update/UpdateCheck.h"
#include "update/UpdateDate.h"
#include "update/UpdateServerAddress.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::fuzz {
namespace {

constexpr BYTE STEP_COUNT = 8;

std::string Text(CFuzzInput& input, std::size_t nLimit) {
    std::string strText(std::min<std::size_t>(input.Byte(), nLimit), '\0');
    for (char& c : strText)
        c = static_cast<char>(input.Byte());
    return strText;
}

std::optional<std::string> StoredText(const test::CMemoryRegistry& registry) {
    const auto value = registry.Get(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_SUCCESS);
    if (!value)
        return std::nullopt;
    return std::string(value->aData.begin(), value->aData.end());
}

} // namespace
} // namespace qv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    using namespace qv;
    fuzz::CFuzzInput input(pData, nSize);
    test::CMemoryRegistry registry;
    test::CScriptedHttp http;
    test::CFakeClock clock;

    const BYTE nStep = input.Byte() % (fuzz::STEP_COUNT + 1);
    if (nStep < fuzz::STEP_COUNT)
        http.m_failingStep = static_cast<test::HttpStep>(nStep);
    http.m_nChunk = std::max<DWORD>(input.Byte(), 1);
    http.m_dwStatus = input.Value<WORD>();
    if (input.Byte() & 1)
        http.m_strContentLength = fuzz::Text(input, 32);
    const bool bPlanted = input.Byte() & 1;
    const std::string strPlanted = fuzz::Text(input, 16);
    if (bPlanted)
        registry.Put(REGKEY_CURRENT_USER, SETTINGS_KEY, UPDATE_VALUE_LAST_SUCCESS, REGTYPE_SZ,
                     std::vector<BYTE>(strPlanted.begin(), strPlanted.end()));
    http.m_strBody = fuzz::Text(input, 255);
    // The rest of the input names a server, as the demo reads it from its environment.
    const std::string strUrl = fuzz::Text(input, 255);
    if (const auto server = ParseUpdateUrl(strUrl))
        fuzz::Check(!server->strHost.empty() && !server->strObject.empty() &&
                        server->strObject.find_first_of(" \r\n") == std::string::npos,
                    "an address read names a host and an object without blanks");

    CUpdateCheck check(registry, REGKEY_CURRENT_USER, http, clock, UpdateServer{"fuzz.example"});
    const int nResult = check.CheckForUpdate();

    fuzz::Check(nResult == UPDATE_SHOW_TEXT || nResult == UPDATE_NOTHING_NEWER ||
                    nResult == UPDATE_FAILED,
                "the check ends with one of its results");
    std::vector<HttpHandle> aIssued = http.m_aIssued, aClosed = http.Closed();
    std::sort(aIssued.begin(), aIssued.end());
    std::sort(aClosed.begin(), aClosed.end());
    fuzz::Check(http.AllClosed() && aIssued == aClosed, "every handle opened is closed once");
    if (nResult == UPDATE_SHOW_TEXT) {
        fuzz::Check(http.m_dwStatus >= 200 && http.m_dwStatus <= 299, "only a 2xx is shown");
        fuzz::Check(http.m_strBody.compare(0, check.Body().size(), check.Body()) == 0,
                    "the text shown is what the server sent");
        fuzz::Check(ParseUpdateDate(check.Body()).has_value(), "the text shown begins with a date");
    } else {
        fuzz::Check(check.Body().empty(), "no text is kept unless it is shown");
    }
    const auto stored = fuzz::StoredText(registry);
    const bool bUnchanged = bPlanted ? stored == strPlanted : !stored.has_value();
    fuzz::Check(bUnchanged || (stored && stored->size() == UPDATE_DATE_LENGTH &&
                               ParseUpdateDate(*stored).has_value()),
                "only a well-formed date is stored");
    return 0;
}
