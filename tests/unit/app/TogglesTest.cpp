#include "tests/support/AppFixture.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class TogglesTest : public CAppFixture {};

TEST_F(TogglesTest, RunAtBootDeletesThenWritesTheRunEntryAndFlipsTheStoredValue) {
    CQuorvexApp& app = Construct();
    ASSERT_TRUE(RunEntry(REGKEY_LOCAL_MACHINE));

    app.ToggleRunOnBoot();
    EXPECT_FALSE(RunEntry(REGKEY_LOCAL_MACHINE));
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "RunOnboot"), 0u);

    app.ToggleRunOnBoot();
    EXPECT_TRUE(RunEntry(REGKEY_LOCAL_MACHINE));
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "RunOnboot"), 1u);
    EXPECT_TRUE(app.m_bRunOnBoot) << "the start's reading stays";
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

TEST_F(TogglesTest, RunAtBootStoredOffIsTurnedOnByOneClick) {
    Registry().PutDword(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "RunOnboot", 0);
    m_sim.Shell().SetExePath("C:\\Program Files\\Q\\Q.exe");
    CQuorvexApp& app = Construct();
    ASSERT_FALSE(RunEntry(REGKEY_LOCAL_MACHINE));

    app.ToggleRunOnBoot();
    EXPECT_EQ(RunEntry(REGKEY_LOCAL_MACHINE), StoredText("\"C:\\Program Files\\Q\\Q.exe\" /boot"));
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "RunOnboot"), 1u);
    EXPECT_FALSE(app.m_bRunOnBoot);
}

TEST_F(TogglesTest, RunAtBootFollowsTheStoredValueNotTheStartsReading) {
    CQuorvexApp& app = Construct();
    ASSERT_TRUE(app.m_bRunOnBoot);

    // Any number but 0 is on.
    Registry().PutDword(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "RunOnboot", 5);
    app.ToggleRunOnBoot();
    EXPECT_FALSE(RunEntry(REGKEY_LOCAL_MACHINE));
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "RunOnboot"), 0u);

    // A value that cannot be read is off.
    Registry().Put(REGKEY_LOCAL_MACHINE, SETTINGS_KEY, "RunOnboot", REGTYPE_BINARY,
                   {1, 0, 0, 0, 0});
    app.ToggleRunOnBoot();
    EXPECT_TRUE(RunEntry(REGKEY_LOCAL_MACHINE));
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "RunOnboot"), 1u);
}

TEST_F(TogglesTest, KeepSpeedFlipsAndStoresOneOrZero) {
    CQuorvexApp& app = Construct();
    ASSERT_TRUE(app.m_bKeepSpeed);

    app.ToggleKeepSpeed();
    EXPECT_FALSE(app.m_bKeepSpeed);
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "Keep_Speed"), 0u);

    app.ToggleKeepSpeed();
    EXPECT_TRUE(app.m_bKeepSpeed);
    EXPECT_EQ(AppDword(REGKEY_LOCAL_MACHINE, "Keep_Speed"), 1u);
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

TEST_F(TogglesTest, WithoutAdministrativeRightsBothSettingsSurviveTheNextStart) {
    Registry().RefuseMachineWrites();
    CQuorvexApp& first = Construct();
    first.ToggleKeepSpeed();
    first.ToggleRunOnBoot();
    ASSERT_FALSE(RunEntry(REGKEY_CURRENT_USER));

    const CQuorvexApp& next = Construct();
    EXPECT_FALSE(next.m_bKeepSpeed);
    EXPECT_FALSE(next.m_bRunOnBoot);
    EXPECT_FALSE(RunEntry(REGKEY_CURRENT_USER));
    EXPECT_FALSE(Registry().HasKey(REGKEY_LOCAL_MACHINE, SETTINGS_KEY));
}

} // namespace
} // namespace qv::test
