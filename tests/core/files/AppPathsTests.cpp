#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/Environment.h"
#include "platform/FileSystemError.h"

using namespace kelvane;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(AppPathsLayout, EverythingLivesInTheSupportFolderUnderHome) {
    const std::string home = std::getenv("HOME");
    EXPECT_EQ(AppPaths::home(), home);
    const auto support = home + "/Library/Application Support/Kelvane";
    EXPECT_EQ(AppPaths::supportDirectory(), support);
    EXPECT_EQ(AppPaths::quarantineDirectory(), support + "/Quarantine");
    EXPECT_EQ(AppPaths::quarantineIndexFile(), support + "/Quarantine/index.json");
    EXPECT_EQ(AppPaths::disabledAgentsDirectory(), support + "/Disabled Launch Agents");
    EXPECT_EQ(AppPaths::settingsFile(), support + "/settings.json");
    EXPECT_EQ(AppPaths::historyFile(), support + "/history.json");
    EXPECT_EQ(AppPaths::scheduleFile(), support + "/schedule.json");
}

TEST(AppPathsLayout, HomeFallsBackToThePasswordDatabase) {
    ScopedEnv relative("HOME", "not/absolute");
    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(AppPaths::home(), entry->pw_dir);
}

TEST(AppPathsEnsure, CreatesBothFoldersAndAcceptsExistingOnes) {
    fixture::TempTree tree;
    ScopedEnv home("HOME", tree.root().c_str());
    AppPaths::ensureSupportDirectory();
    AppPaths::ensureSupportDirectory();
    EXPECT_TRUE(FileTools::isDirectory(AppPaths::quarantineDirectory()));
}

TEST(AppPathsEnsure, AFileInTheWayFailsWithASentence) {
    fixture::TempTree tree;
    ScopedEnv home("HOME", tree.root().c_str());
    tree.file("Library/Application Support/Kelvane", 10);
    try {
        AppPaths::ensureSupportDirectory();
        FAIL() << "expected a FileSystemError";
    } catch (const FileSystemError& error) {
        EXPECT_STREQ(error.what(), "The folder “Kelvane” could not be created: Not a directory.");
    }
    EXPECT_FALSE(FileTools::exists(AppPaths::quarantineDirectory()));
}

TEST(AppPathsExpand, HomeSpellingsAgree) {
    const auto home = AppPaths::home();
    EXPECT_EQ(AppPaths::expand("~/Library/Logs"), home + "/Library/Logs");
    EXPECT_EQ(AppPaths::expand("$HOME/Library/Logs"), home + "/Library/Logs");
    EXPECT_EQ(AppPaths::expand("${HOME}/Library/Logs"), home + "/Library/Logs");
    EXPECT_EQ(AppPaths::expand("~"), home);
}

TEST(AppPathsExpand, TextRulesOfTheExpansion) {
    const auto home = AppPaths::home();
    const auto cwd = platform::currentDirectory();
    struct Case {
        std::string text, expected;
    };
    const Case cases[] = {
        {"/a/./b/../c/", "/a/c"},
        {"/..", "/"},
        {"//x//y/", "/x/y"},
        {"$HOMEfoo", home + "foo"},                // plain text replacement
        {"/data/$HOME/x", "/data" + home + "/x"},  // also in the middle
        {"~root/cache", "/root/cache"},
        {"~no-such-user-kelvane/x", cwd + "/~no-such-user-kelvane/x"},
        {"relative/path", cwd + "/relative/path"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AppPaths::expand(c.text), c.expected) << c.text;
    }
}

TEST(AppPathsExpand, TemporaryFolderVariable) {
    {
        ScopedEnv tmp("TMPDIR", "/var/tmp/kelvane-user/");
        EXPECT_EQ(AppPaths::expand("$TMPDIR"), "/var/tmp/kelvane-user");
        EXPECT_EQ(AppPaths::expand("$TMPDIR/cache"), "/var/tmp/kelvane-user/cache");
    }
    ScopedEnv unset("TMPDIR", nullptr);
    // Without the variable the text stays and names no temporary folder.
    EXPECT_EQ(AppPaths::expand("$TMPDIR"), platform::currentDirectory() + "/$TMPDIR");
}
