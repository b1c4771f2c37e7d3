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

#include <optional>
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

class UpdateHttp : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TrustTestCa(); }
    void SetUp() override {
        ForgetProgramValues();
        WriteValue(HKEY_CURRENT_USER, APP_KEY, UPDATE_VALUE_LAST_SUCCESS,
                   {REG_SZ, {OLD_RELEASE, OLD_RELEASE + 8}});
    }
    void TearDown() override { ForgetProgramValues(); }

    // One check of the description at strUrl; its body is kept in m_strBody.
    int Check(const std::string& strUrl, int nDeadlineMs = UPDATE_DEADLINE_MS) {
        UpdateServices services{m_http,
                                m_clock,
                                m_signatures,
                                {.server = *ParseUpdateUrl(strUrl),
                                 .publicKey = *ParsePublicKey(FromEnvironment("QV_UPDATE_KEY")),
                                 .releaseDate = {2001, 1, 1},
                                 .nDeadlineMs = nDeadlineMs},
                                m_view};
        CUpdateCheck check(m_registry, REGKEY_CURRENT_USER, services);
        const int nResult = check.CheckForUpdate();
        m_strBody = check.Body();
        return nResult;
    }

    win32::CWin32Registry m_registry;
    win32::CWin32Http m_http;
    win32::CWin32Clock m_clock;
    win32::CWin32Signatures m_signatures;
    CNoView m_view;
    std::string m_strBody;
};

struct Refusal {
    const char* pszName;
    std::string strUrl;
    int nDeadlineMs = UPDATE_DEADLINE_MS;
};

// Each description is newer than the one stored, so one taken for a trusted description would
// be reported and stored.
TEST_F(UpdateHttp, FailsOnEveryDescriptionThatCannotBeTrusted) {
    for (const Refusal& refusal : {
             Refusal{"tampered", UpdateUrl(Dated("tampered"))},
             Refusal{"redirect to plain HTTP", UpdateUrl(Dated("plainredirect"))},
             Refusal{"untrusted certificate", UpdateUrl(Dated("desc"), "QV_UPDATE_UNTRUSTED_PORT")},
             Refusal{"trickle past the deadline", UpdateUrl(Dated("trickle")), 3000},
             Refusal{"unreachable", "https://localhost:9/" + Dated("desc") + "/ombrel/update.txt"},
         }) {
        SCOPED_TRACE(refusal.pszName);
        EXPECT_EQ(Check(refusal.strUrl, refusal.nDeadlineMs), UPDATE_FAILED);
        EXPECT_EQ(m_strBody, "");
        // The text up to a zero: the check writes 8 bytes with none, but Wine also stores the zero
        // that follows them in the writer's memory.
        EXPECT_EQ(ReadText(HKEY_CURRENT_USER, APP_KEY, UPDATE_VALUE_LAST_SUCCESS), OLD_RELEASE);
    }
    EXPECT_EQ(Check(UpdateUrl(Dated("desc"))), UPDATE_SHOW_TEXT) << "a trusted one passes";
}

} // namespace
} // namespace qv::e2e
