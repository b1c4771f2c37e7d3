// Only a description signed with the key the program carries is trusted, and what it shows is
// exactly the text that was signed; the build's own address and key are of the forms it reads.
#include "update/UpdateSignature.h"
#include "app/BuildConfig.h"
#include "tests/support/UpdateFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>
#include <utility>

namespace qv::test {
namespace {

const std::string TEXT = "12/15/26 Quorvex 4.3 is out.\r\nGet it from the home page.\r\n";
const std::string SIGNED = TestKey().Signed(TEXT);

std::string Replaced(std::string strText, const std::string& strFrom, const std::string& strTo) {
    return strText.replace(strText.find(strFrom), strFrom.size(), strTo);
}

std::string WithLastDigitChanged(std::string strBody) {
    char& cDigit = strBody[strBody.size() - 3];
    cDigit = cDigit == '0' ? '1' : '0';
    return strBody;
}

std::string WithUpperCaseDigits(std::string strBody) {
    const auto digits =
        strBody.begin() + static_cast<std::ptrdiff_t>(TEXT.size() + UPDATE_SIGNATURE_LABEL.size());
    std::transform(digits, strBody.end(), digits,
                   [](char c) { return static_cast<char>(std::toupper(c)); });
    return strBody;
}

struct SignatureCase {
    const char* pszName;
    std::string strBody;
    bool bTrusted;
    friend void PrintTo(const SignatureCase& test, std::ostream* pOut) { *pOut << test.pszName; }
};

class SignatureTest : public CUpdateFixture, public ::testing::WithParamInterface<SignatureCase> {
protected:
    void SetUp() override { Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26"); }
};

TEST_P(SignatureTest, OnlyTheSignedTextOfTheCarriedKeyIsShownOrKept) {
    m_http.Serve(GetParam().strBody);
    if (GetParam().bTrusted) {
        EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_SHOW_TEXT);
        EXPECT_EQ(m_check.Body(), TEXT);
        EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("12/15/26"));
    } else {
        EXPECT_EQ(m_check.CheckForUpdate(), UPDATE_FAILED);
        EXPECT_EQ(m_check.Body(), "");
        EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes("11/30/26"));
    }
}

const CTestSigningKey OTHER_KEY;
const std::string TRAILER = SIGNED.substr(TEXT.size());

INSTANTIATE_TEST_SUITE_P(
    Bodies, SignatureTest,
    ::testing::Values(
        SignatureCase{"Signed", SIGNED, true},
        SignatureCase{"LineFeedAfterTrailer", SIGNED.substr(0, SIGNED.size() - 2) + "\n", true},
        SignatureCase{"NoLineEndAfterTrailer", SIGNED.substr(0, SIGNED.size() - 2), true},
        SignatureCase{"UpperCaseDigits", WithUpperCaseDigits(SIGNED), true},
        SignatureCase{"Unsigned", TEXT, false},
        SignatureCase{"TamperedText", Replaced(SIGNED, "4.3", "6.6"), false},
        SignatureCase{"TamperedSignature", WithLastDigitChanged(SIGNED), false},
        SignatureCase{"AnotherKey", OTHER_KEY.Signed(TEXT), false},
        SignatureCase{"LineAfterTrailer", SIGNED + "Download it at evil.example\r\n", false},
        SignatureCase{"TrailerNotOnALine", TestKey().Signed("12/15/26 news"), false},
        SignatureCase{"TrailerAlone", TRAILER, false},
        SignatureCase{"ShortSignature", Replaced(SIGNED, TRAILER, TRAILER.substr(1)), false},
        SignatureCase{"NotHex", SIGNED.substr(0, SIGNED.size() - 3) + "g\r\n", false}));

TEST(PublicKeyTest, ReadsAnUncompressedPointOnly) {
    const std::pair<std::string, bool> aCases[] = {
        {"04" + std::string(128, 'a'), true},
        {"04" + std::string(128, 'F'), true},
        {"02" + std::string(128, 'a'), false},
        {"04" + std::string(127, 'a'), false},
        {"04" + std::string(130, 'a'), false},
        {"04" + std::string(127, 'a') + "x", false},
        {"", false},
    };
    for (const auto& [strHex, bParsed] : aCases)
        EXPECT_EQ(ParsePublicKey(strHex).has_value(), bParsed) << strHex;
}

TEST(BuiltInUpdateConfigTest, AsksOverHttpsWithAKeyAndTheReleaseDateOfTheBuild) {
    const UpdateConfig config = BuiltInUpdateConfig();
    EXPECT_TRUE(config.server.bSecure && !config.server.strHost.empty());
    EXPECT_EQ(config.publicKey, ParsePublicKey(QV_UPDATE_PUBLIC_KEY));
    EXPECT_EQ(config.releaseDate,
              (CalendarDate{QV_RELEASE_YEAR, QV_RELEASE_MONTH, QV_RELEASE_DAY}));
}

} // namespace
} // namespace qv::test
