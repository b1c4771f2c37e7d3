#include "tests/support/AppFixture.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class TogglesTest : public CAppFixture {};

TEST_F(TogglesTest, RunAtBootDeletesThenWritesTheRunEntryAndFlipsTheStoredValue) {
    CQuorvexApp& app = Construct();
    ASSERT_TRUE(RunEntry(REGKEY_CURRENT_USER));

    app.ToggleRunOnBoot();
    EXPECT_FALSE(RunEntry(REGKEY_CURRENT_USER));
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "RunOnboot"), 0u);

    app.ToggleRunOnBoot();
    EXPECT_TRUE(RunEntry(REGKEY_CURRENT_USER));
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "RunOnboot"), 1u);
    EXPECT_TRUE(app.m_bRunOnBoot) << "the start's reading stays";
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

TEST_F(TogglesTest, RunAtBootFollowsTheStoredValueNotTheStartsReading) {
    CQuorvexApp& app = Construct();
    ASSERT_TRUE(app.m_bRunOnBoot);

    Registry().PutDword(REGKEY_CURRENT_USER, SETTINGS_KEY, "RunOnboot", 5);
    app.ToggleRunOnBoot();
    EXPECT_FALSE(RunEntry(REGKEY_CURRENT_USER));
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "RunOnboot"), 0u);

    // A value that cannot be read is off.
    Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, "RunOnboot", REGTYPE_BINARY, {1, 0, 0, 0, 0});
    app.ToggleRunOnBoot();
    EXPECT_TRUE(RunEntry(REGKEY_CURRENT_USER));
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "RunOnboot"), 1u);
}

TEST_F(TogglesTest, KeepSpeedFlipsAndStoresOneOrZero) {
    CQuorvexApp& app = Construct();
    ASSERT_TRUE(app.m_bKeepSpeed);

    app.ToggleKeepSpeed();
    EXPECT_FALSE(app.m_bKeepSpeed);
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "Keep_Speed"), 0u);

    app.ToggleKeepSpeed();
    EXPECT_TRUE(app.m_bKeepSpeed);
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "Keep_Speed"), 1u);
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

// Whatever number is stored, the start and the toggles agree on it: one click always turns the
// switch the other way.
class OneClickTest : public CAppFixture, public ::testing::WithParamInterface<DWORD> {};

TEST_P(OneClickTest, OneClickTurnsEitherSwitchTheOtherWay) {
    const bool bStoredOn = GetParam() != 0;
    Registry().PutDword(REGKEY_CURRENT_USER, SETTINGS_KEY, "Keep_Speed", GetParam());
    Registry().PutDword(REGKEY_CURRENT_USER, SETTINGS_KEY, "RunOnboot", GetParam());
    m_sim.Shell().SetExePath("C:\\Program Files\\Q\\Q.exe");
    CQuorvexApp& app = Construct();
    ASSERT_EQ(app.m_bKeepSpeed, bStoredOn);
    ASSERT_EQ(app.m_bRunOnBoot, bStoredOn);

    app.ToggleKeepSpeed();
    app.ToggleRunOnBoot();
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "Keep_Speed"), bStoredOn ? 0u : 1u);
    EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "RunOnboot"), bStoredOn ? 0u : 1u);
    if (bStoredOn)
        EXPECT_FALSE(RunEntry(REGKEY_CURRENT_USER));
    else
        EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER), RunCommandFor(u"C:\\Program Files\\Q\\Q.exe"));
}

INSTANTIATE_TEST_SUITE_P(StoredNumbers, OneClickTest, ::testing::Values(0u, 1u, 2u, 0xFFFFFFFFu));

} // namespace
} // namespace qv::test
