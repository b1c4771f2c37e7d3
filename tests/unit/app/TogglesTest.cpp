#include "tests/support/AppFixture.h"

#include <gtest/gtest.h>

#include <optional>

namespace qv::test {
namespace {

class TogglesTest : public CAppFixture {};

// Each click turns what is stored the other way, not what the start read: any number but 0 is
// on, and a value that cannot be read is off.
TEST_F(TogglesTest, RunAtBootTurnsTheStoredValueTheOtherWay) {
    CQuorvexApp& app = Construct();
    const struct {
        const char* pszWhat;
        std::optional<StoredValue> planted; // before the click
        bool bOnAfter;
    } aClicks[] = {
        {"1 from the start", std::nullopt, false},
        {"0 from the last click", std::nullopt, true},
        {"5", StoredValue{REGTYPE_DWORD, {5, 0, 0, 0}}, false},
        {"five bytes", StoredValue{REGTYPE_BINARY, {1, 0, 0, 0, 0}}, true},
    };
    for (const auto& click : aClicks) {
        SCOPED_TRACE(click.pszWhat);
        if (click.planted)
            Registry().Put(REGKEY_CURRENT_USER, SETTINGS_KEY, "RunOnboot", click.planted->dwType,
                           click.planted->aData);
        app.ToggleRunOnBoot();
        EXPECT_EQ(RunEntry(REGKEY_CURRENT_USER).has_value(), click.bOnAfter);
        EXPECT_EQ(AppDword(REGKEY_CURRENT_USER, "RunOnboot"), click.bOnAfter ? 1u : 0u);
    }
    EXPECT_TRUE(app.m_bRunOnBoot) << "the start's reading stays";
    EXPECT_EQ(Registry().OpenKeyCount(), 0);
}

} // namespace
} // namespace qv::test
