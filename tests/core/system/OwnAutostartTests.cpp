#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "HomeTest.h"
#include "files/FileTools.h"
#include "platform/FileIO.h"
#include "system/OwnAutostart.h"

using namespace kelvane;

using OwnAutostartTest = fixture::HomeTest;

TEST_F(OwnAutostartTest, OpenAtLoginWritesAValidEntryAndRemovesIt) {
    EXPECT_FALSE(OwnAutostart::isEnabled());
    const auto program = tree.path("my apps/kelvane");
    OwnAutostart::setEnabled(true, program);
    EXPECT_EQ(OwnAutostart::entryPath(),
              tree.path(".config/autostart/com.orrindale.Kelvane.desktop"));
    EXPECT_TRUE(OwnAutostart::isEnabled());
    const auto text = platform::readFile(OwnAutostart::entryPath());
    EXPECT_NE(text.find("Exec=\"" + program + "\" --background"), std::string::npos) << text;
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
        const auto check = "desktop-file-validate '" + OwnAutostart::entryPath() + "'";
        EXPECT_EQ(std::system(check.c_str()), 0);
    }
    // Switched off by another tool with Hidden=true: reads as off.
    std::ofstream(OwnAutostart::entryPath(), std::ios::app) << "Hidden=true\n";
    EXPECT_FALSE(OwnAutostart::isEnabled());
    OwnAutostart::setEnabled(false, program);
    EXPECT_FALSE(FileTools::exists(OwnAutostart::entryPath()));
    OwnAutostart::setEnabled(false, program);  // already off: fine
}

TEST(OwnAutostartExec, ProgramPathsAreQuotedAsTheDesktopEntryRulesAsk) {
    struct Case {
        std::string program, exec;
    };
    const Case cases[] = {
        {"/usr/bin/kelvane", R"("/usr/bin/kelvane")"},
        {"/opt/My Apps/kelvane", R"("/opt/My Apps/kelvane")"},
        {R"(/a/"b"/$c`d`\e)", R"("/a/\"b\"/\$c\`d\`\\e")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OwnAutostart::quotedExec(c.program), c.exec);
    }
}
