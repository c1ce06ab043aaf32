#include <gtest/gtest.h>

#include <cstdlib>

#include "kit/UiSupport.h"

// KELVANE_APPEARANCE: exactly "light" gives light; any other value, empty included, dark.
TEST(Appearance, TheEnvironmentOverridesTheDesktop) {
    const struct {
        const char* value;
        bool dark;
    } cases[] = {{"light", false}, {"Light", true}, {"dark", true}, {"", true}, {"LIGHT ", true}};
    for (const auto& c : cases) {
        ::setenv("KELVANE_APPEARANCE", c.value, 1);
        EXPECT_EQ(kelvane::ui::UiSupport::darkFromEnvironment(), c.dark) << '"' << c.value << '"';
    }
    ::unsetenv("KELVANE_APPEARANCE");
}
