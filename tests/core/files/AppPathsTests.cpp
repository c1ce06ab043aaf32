#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <sys/stat.h>
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

TEST(AppPathsLayout, ConfigurationAndDataLiveInTheXDGFolders) {
    fixture::TempTree tree;
    struct Case {
        const char* what;
        const char* configHome;  // nullptr: unset
        const char* dataHome;
        std::string config, data;
    };
    const auto root = tree.root();
    const Case cases[] = {
        {"the variables", "/cfg", "/dat/", "/cfg/kelvane", "/dat/kelvane"},
        {"unset", nullptr, nullptr, root + "/.config/kelvane", root + "/.local/share/kelvane"},
        {"empty or relative counts as unset", "", "relative/share", root + "/.config/kelvane",
         root + "/.local/share/kelvane"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fixture::ScopedHome home(root);
        ScopedEnv config("XDG_CONFIG_HOME", c.configHome);
        ScopedEnv data("XDG_DATA_HOME", c.dataHome);
        EXPECT_EQ(AppPaths::settingsFile(), c.config + "/settings.json");
        EXPECT_EQ(AppPaths::scheduleFile(), c.config + "/schedule.json");
        EXPECT_EQ(AppPaths::supportDirectory(), c.data);
        EXPECT_EQ(AppPaths::quarantineDirectory(), c.data + "/Quarantine");
        EXPECT_EQ(AppPaths::quarantineIndexFile(), c.data + "/Quarantine/index.json");
        EXPECT_EQ(AppPaths::historyFile(), c.data + "/history.json");
        EXPECT_EQ(AppPaths::disabledAgentsDirectory(), c.data + "/Disabled Launch Agents");
    }
}

TEST(AppPathsLayout, HomeFallsBackToThePasswordDatabase) {
    ScopedEnv relative("HOME", "not/absolute");
    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(AppPaths::home(), entry->pw_dir);
}

TEST(AppPathsEnsure, CreatesPrivateFoldersAndNeverALibraryFolder) {
    fixture::TempTree tree;
    fixture::ScopedHome home(tree.root());
    AppPaths::ensureSupportDirectory();
    AppPaths::ensureSupportDirectory();
    for (const auto& folder : {AppPaths::configDirectory(), AppPaths::supportDirectory(),
                               AppPaths::quarantineDirectory()}) {
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0) << folder;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_FALSE(FileTools::exists(tree.path("Library")));
    EXPECT_EQ(AppPaths::migrateLegacyFolder(), std::nullopt);  // nothing to move
    EXPECT_FALSE(FileTools::exists(tree.path("Library")));
}

TEST(AppPathsEnsure, AFileInTheWayFailsWithASentence) {
    fixture::TempTree tree;
    fixture::ScopedHome home(tree.root());
    tree.file(".local/share/kelvane", 10);
    try {
        AppPaths::ensureSupportDirectory();
        FAIL() << "expected a FileSystemError";
    } catch (const FileSystemError& error) {
        EXPECT_STREQ(error.what(), "The folder “kelvane” could not be created: Not a directory.");
    }
    EXPECT_FALSE(FileTools::exists(AppPaths::quarantineDirectory()));
}

namespace {

// An older layout with a batch, its journal, an index, the history and the settings.
std::string makeLegacyFolder(fixture::TempTree& tree) {
    const std::string legacy = "Library/Application Support/Kelvane";
    tree.file(legacy + "/settings.json", 100);
    tree.file(legacy + "/schedule.json", 50);
    tree.file(legacy + "/history.json", 70);
    tree.file(legacy + "/Quarantine/index.json", 80);
    tree.file(legacy + "/Quarantine/0A1B2C3D-0000-4000-8000-000000000001/journal", 90);
    tree.file(legacy + "/Quarantine/0A1B2C3D-0000-4000-8000-000000000001/payload/0-x-a.log", 4096);
    return tree.path(legacy);
}

void expectMigrated(fixture::TempTree& tree) {
    EXPECT_EQ(AppPaths::supportDirectory(), tree.path(".local/share/kelvane"));
    EXPECT_EQ(FileTools::allocatedSize(AppPaths::settingsFile()) > 0, true);
    EXPECT_TRUE(FileTools::exists(AppPaths::settingsFile()));
    EXPECT_TRUE(FileTools::exists(AppPaths::scheduleFile()));
    EXPECT_TRUE(FileTools::exists(AppPaths::historyFile()));
    EXPECT_TRUE(FileTools::exists(AppPaths::quarantineIndexFile()));
    EXPECT_TRUE(FileTools::exists(AppPaths::quarantineDirectory() +
                                  "/0A1B2C3D-0000-4000-8000-000000000001/payload/0-x-a.log"));
    EXPECT_FALSE(FileTools::exists(AppPaths::supportDirectory() + "/settings.json"));
    EXPECT_FALSE(FileTools::exists(tree.path("Library")));
    struct stat st {};
    ASSERT_EQ(::stat(AppPaths::supportDirectory().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace

TEST(AppPathsMigration, AnOlderFolderMovesOverOnceWithEverythingInIt) {
    fixture::TempTree tree;
    fixture::ScopedHome home(tree.root());
    const auto legacy = makeLegacyFolder(tree);
    EXPECT_EQ(AppPaths::supportDirectory(), legacy);  // in use until it has moved
    EXPECT_EQ(AppPaths::settingsFile(), legacy + "/settings.json");
    EXPECT_EQ(AppPaths::migrateLegacyFolder(), std::nullopt);
    expectMigrated(tree);
    EXPECT_EQ(AppPaths::migrateLegacyFolder(), std::nullopt);  // once
    expectMigrated(tree);
}

TEST(AppPathsMigration, AMoveCutShortIsFinishedAtTheNextStart) {
    fixture::TempTree tree;
    fixture::ScopedHome home(tree.root());
    makeLegacyFolder(tree);
    // Killed after the folder's rename, before the settings went to the configuration folder.
    std::filesystem::create_directories(tree.path(".local/share"));
    std::filesystem::rename(tree.path("Library/Application Support/Kelvane"),
                            tree.path(".local/share/kelvane"));
    std::filesystem::remove(tree.path("Library/Application Support"));
    std::filesystem::remove(tree.path("Library"));
    EXPECT_EQ(AppPaths::migrateLegacyFolder(), std::nullopt);
    expectMigrated(tree);
}

TEST(AppPathsMigration, AFailedMoveLeavesTheOldFolderInUseAndSaysSo) {
    fixture::TempTree tree;
    fixture::ScopedHome home(tree.root());
    const auto legacy = makeLegacyFolder(tree);
    tree.file(".local", 1);  // a file where the data folder's parent must go
    const auto failure = AppPaths::migrateLegacyFolder();
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find(".local"), std::string::npos) << *failure;
    EXPECT_EQ(AppPaths::supportDirectory(), legacy);
    EXPECT_EQ(AppPaths::settingsFile(), legacy + "/settings.json");
    EXPECT_TRUE(FileTools::exists(legacy + "/Quarantine/index.json"));
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
    // Unset, empty or relative: the temporary folder is /tmp, never the working folder.
    for (const char* value : {static_cast<const char*>(nullptr), "", "tmp"}) {
        ScopedEnv tmp("TMPDIR", value);
        EXPECT_EQ(AppPaths::expand("$TMPDIR"), "/tmp");
        EXPECT_EQ(AppPaths::expandAbsolute("$TMPDIR"), "/tmp");
    }
}

TEST(AppPathsExpand, RulePathsThatNameNoPlaceGiveNothing) {
    fixture::TempTree tree;
    fixture::ScopedHome home(tree.root());
    for (const char* text : {"", "relative/path", "$NOT_A_VARIABLE/x", "~no-such-user-kelvane/x"}) {
        EXPECT_EQ(AppPaths::expandAbsolute(text), std::nullopt) << text;
    }
    EXPECT_EQ(AppPaths::expandAbsolute("~/.cache/"), tree.path(".cache"));
}

TEST(AppPathsExpand, XDGFoldersAndUserFolders) {
    fixture::TempTree tree;
    fixture::ScopedHome home(tree.root());
    ScopedEnv cache("XDG_CACHE_HOME", nullptr);
    EXPECT_EQ(AppPaths::expand("$XDG_CACHE_HOME/thumbnails"), tree.path(".cache/thumbnails"));
    EXPECT_EQ(AppPaths::expand("${XDG_STATE_HOME}/x"), tree.path(".local/state/x"));
    EXPECT_EQ(AppPaths::expand("$XDG_DOWNLOAD_DIR"), tree.path("Downloads"));
    // A French desktop's folders, as xdg-user-dirs writes them.
    tree.file(".config/user-dirs.dirs", 0);
    std::ofstream(tree.path(".config/user-dirs.dirs"))
        << "# written by xdg-user-dirs-update\n"
           "XDG_DOWNLOAD_DIR=\"$HOME/T\xC3\xA9l\xC3\xA9\x63hargements\"\n"
           "XDG_PICTURES_DIR=\"$HOME/Images\"\n"
           "XDG_PUBLICSHARE_DIR=\"$HOME/\"\n"
           "XDG_MUSIC_DIR=relative-is-ignored\n";
    EXPECT_EQ(AppPaths::expand("$XDG_DOWNLOAD_DIR/x"),
              tree.path("T\xC3\xA9l\xC3\xA9\x63hargements/x"));
    const auto folders = AppPaths::userFolders();
    auto folderOf = [&](const std::string& key) {
        for (const auto& [k, v] : folders) {
            if (k == key) {
                return v;
            }
        }
        return std::string("(none)");
    };
    EXPECT_EQ(folderOf("XDG_PICTURES_DIR"), tree.path("Images"));
    EXPECT_EQ(folderOf("XDG_MUSIC_DIR"), tree.path("Music"));
    EXPECT_EQ(folderOf("XDG_PUBLICSHARE_DIR"), "(none)");  // set to the home folder: disabled
}
