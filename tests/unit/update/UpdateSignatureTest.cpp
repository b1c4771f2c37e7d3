// Only a description signed with the key the program carries is trusted, and what it shows is
// exactly the text that was signed; the build's own address and key are of the forms it reads.
#include "update/UpdateSignature.h"
#include "app/BuildConfig.h"
#include "tests/support/UpdateFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace qv::test {
namespace {

const std::string TEXT = "12/15/26 Quorvex 4.3 is out.\r\nGet it from the home page.\r\n";
const std::string SIGNED = TestKey().Signed(TEXT);

std::string Replaced(std::string strText, const std::string& strFrom, const std::string& strTo) {
    return strText.replace(strText.find(strFrom), strFrom.size(), strTo);
}

class SignatureTest : public CUpdateFixture {};

TEST_F(SignatureTest, OnlyTheSignedTextOfTheCarriedKeyIsShownOrKept) {
    const CTestSigningKey otherKey;
    const std::string strTrailer = SIGNED.substr(TEXT.size());
    const std::pair<std::string, bool> aCases[] = {
        {SIGNED, true},
        {SIGNED.substr(0, SIGNED.size() - 2) + "\n", true},
        {SIGNED.substr(0, SIGNED.size() - 2), true},
        {TEXT, false},
        {Replaced(SIGNED, "4.3", "6.6"), false},
        {otherKey.Signed(TEXT), false},
        {SIGNED + "Download it at evil.example\r\n", false},
        {TestKey().Signed("12/15/26 news"), false},
        {strTrailer, false},
        {Replaced(SIGNED, strTrailer, strTrailer.substr(1)), false},
        {SIGNED.substr(0, SIGNED.size() - 3) + "g\r\n", false},
    };
    for (const auto& [strBody, bTrusted] : aCases) {
        SCOPED_TRACE(strBody);
        Plant(UPDATE_VALUE_LAST_SUCCESS, "11/30/26");
        m_http.Serve(strBody);
        EXPECT_EQ(m_check.CheckForUpdate(), bTrusted ? UPDATE_SHOW_TEXT : UPDATE_FAILED);
        EXPECT_EQ(m_check.Body(), bTrusted ? TEXT : "");
        EXPECT_EQ(Stored(UPDATE_VALUE_LAST_SUCCESS), Bytes(bTrusted ? "12/15/26" : "11/30/26"));
    }
}

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
