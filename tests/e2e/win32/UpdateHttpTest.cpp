// The update check over the real Internet functions, TLS, cryptography, registry and clock,
// against the test servers that scripts/e2e.sh starts: each kind of response that must not pass
// for a signed description. The rules behind each failure are the native tests'; these prove that
// the Windows side refuses what it must. UpdateDialogTest takes a trusted one, after a redirect.
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32Http.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Signatures.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"
#include "tests/e2e/win32/UpdateServer.h"
#include "update/UpdateCheck.h"
#include "update/UpdateSignature.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::e2e {
namespace {

// Older than every date the server publishes.
constexpr const char* OLD_RELEASE = "01/01/01";

class CNoView : public CUpdateView {
public:
    void ShowMessage(const char*) override {}
    void RunNewVersionDialog(const std::string&) override {}
};

// Each description is newer than the one stored, so one taken for a trusted description would
// be reported and stored. The URLs name each way it cannot be trusted.
TEST(UpdateHttp, FailsOnEveryDescriptionThatCannotBeTrusted) {
    TrustTestCa();
    ForgetProgramValues();
    WriteValue(HKEY_CURRENT_USER, APP_KEY, UPDATE_VALUE_LAST_SUCCESS,
               {REG_SZ, {OLD_RELEASE, OLD_RELEASE + 8}});
    win32::CWin32Registry registry;
    win32::CWin32Http http;
    win32::CWin32Clock clock;
    win32::CWin32Signatures signatures;
    CNoView view;
    const auto check = [&](const std::string& strUrl, int nDeadlineMs) {
        UpdateServices services{http,
                                clock,
                                signatures,
                                {.server = *ParseUpdateUrl(strUrl),
                                 .publicKey = *ParsePublicKey(FromEnvironment("QV_UPDATE_KEY")),
                                 .releaseDate = {2001, 1, 1},
                                 .nDeadlineMs = nDeadlineMs},
                                view};
        return CUpdateCheck(registry, REGKEY_CURRENT_USER, services).CheckForUpdate();
    };
    for (const std::string& strUrl : {
             UpdateUrl(Dated("tampered")),
             UpdateUrl(Dated("plainredirect")),
             UpdateUrl(Dated("desc"), "QV_UPDATE_UNTRUSTED_PORT"),
             UpdateUrl(Dated("trickle")),
             "https://localhost:9/" + Dated("desc") + "/ombrel/update.txt",
         }) {
        SCOPED_TRACE(strUrl);
        EXPECT_EQ(check(strUrl, 3000), UPDATE_FAILED);
        // The text up to a zero: the check writes 8 bytes with none, but Wine also stores the zero
        // that follows them in the writer's memory.
        EXPECT_EQ(ReadText(HKEY_CURRENT_USER, APP_KEY, UPDATE_VALUE_LAST_SUCCESS), OLD_RELEASE);
    }
    EXPECT_EQ(check(UpdateUrl(Dated("desc")), UPDATE_DEADLINE_MS), UPDATE_SHOW_TEXT)
        << "a trusted one passes";
}

} // namespace
} // namespace qv::e2e
