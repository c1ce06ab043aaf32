#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "HomeTest.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/FileSystemError.h"
#include "platform/PropertyList.h"
#include "platform/RunningProcesses.h"
#include "system/AppInventory.h"

using namespace kelvane;
using platform::PlistDictionary;
using platform::PlistValue;

namespace {

InstalledApp makeApp(std::string path, std::string bundleID, std::string name) {
    InstalledApp app;
    app.path = std::move(path);
    app.bundleID = std::move(bundleID);
    app.name = std::move(name);
    return app;
}

class InventoryTest : public fixture::HomeTest {
  protected:
    std::string bundle(const std::string& relative, PlistDictionary info, bool binary = false) {
        const auto path = tree.folder(relative);
        tree.file(relative + "/Contents/MacOS/tool", 5000);
        std::ofstream(path + "/Contents/Info.plist", std::ios::binary)
            << platform::writePropertyList(info, binary);
        return path;
    }
    static PlistDictionary info(const std::string& id, const std::string& name) {
        return {{"CFBundleIdentifier", PlistValue{id}},
                {"CFBundleName", PlistValue{name}},
                {"CFBundleShortVersionString", PlistValue{" 2.1 \n"}},
                {"CFBundleExecutable", PlistValue{"tool"}}};
    }
    AppInventory inventory() {
        return AppInventory(std::vector<std::string>{tree.path("Apps")}, tree.root(),
                            tree.path("tmp"));
    }

  private:
    std::string saved_;
};

std::vector<std::string> names(const std::vector<InstalledApp>& apps) {
    std::vector<std::string> out;
    for (const auto& app : apps) {
        out.push_back(app.name);
    }
    return out;
}

}  // namespace

TEST_F(InventoryTest, FindsBundlesDownToThreeLevelsWithTheirExclusions) {
    bundle("Apps/Editor 10.app", info("org.example.editor10", "Editor 10"), true);
    bundle("Apps/Editor 9.app", info("org.example.editor9", "Editor 9"));
    bundle("Apps/a/b/Deep.app", info("org.example.deep", "deep"));
    bundle("Apps/a/b/c/TooDeep.app", info("org.example.toodeep", "Too deep"));
    bundle("Apps/Apple.app", info("com.apple.Safari", "Safari"));
    bundle("Apps/Us.app", info("com.orrindale.kelvane", "Kelvane"));
    auto framework = info("org.example.framework", "Framework");
    framework["CFBundlePackageType"] = PlistValue{"FMWK"};
    bundle("Apps/Framework.app", framework);
    auto lower = info("org.example.lower", "Lower");
    lower["CFBundlePackageType"] = PlistValue{"appl"};
    bundle("Apps/Lower.app", lower);
    auto spaces = info("org.example.spaces", "Named");
    spaces["CFBundleDisplayName"] = PlistValue{"   "};
    bundle("Apps/Spaced Out.app", spaces);
    bundle("Apps/NoID.app", PlistDictionary{{"CFBundleName", PlistValue{"No id"}}});
    bundle("Apps/.Hidden.app", info("org.example.hidden", "Hidden"));

    const auto apps = inventory().applications();
    EXPECT_EQ(names(apps),
              (std::vector<std::string>{"deep", "Editor 9", "Editor 10", "Lower", "Spaced Out"}));
    const auto& editor = apps[2];
    EXPECT_EQ(editor.bundleID, "org.example.editor10");
    EXPECT_EQ(editor.version, "2.1");
    EXPECT_EQ(editor.executable, "tool");
    EXPECT_EQ(editor.size, FileTools::allocatedSize(editor.path));
    EXPECT_TRUE(editor.lastOpened.has_value());
    EXPECT_TRUE(AppInventory::isAppleBundleID("com.apple.mail"));
    EXPECT_FALSE(AppInventory::isAppleBundleID("com.applesauce.x"));
}

TEST_F(InventoryTest, StopsWhenCancelled) {
    bundle("Apps/One.app", info("org.example.one", "One"));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(inventory().applications(stop.get_token()).empty());
}

TEST(TempNames, MatchTheIdentifierOrTheNameThenASeparator) {
    const std::string b = "com.example.notes";
    struct Case {
        const char* name;
        bool matches;
    };
    for (const auto& c :
         {Case{"com.example.notes", true}, Case{"Notes", true}, Case{"Notes-cache", true},
          Case{"Notes 2", true}, Case{"com.example.notes.shipit", true}, Case{"Notes_x", true},
          Case{"Notes.y", true}, Case{"Notesbook", false}, Case{"notes-cache", false},
          Case{"Other", false}}) {
        EXPECT_EQ(AppInventory::tempNameMatches(c.name, b, "Notes"), c.matches) << c.name;
    }
    EXPECT_FALSE(AppInventory::tempNameMatches("-x", "", ""));
}

TEST_F(InventoryTest, LeftoversFromEveryPlaceLargestFirst) {
    const std::string b = "org.example.notes";
    auto app = makeApp(tree.path("Apps/Notes.app"), b, " Notes ");
    const std::vector<std::pair<std::string, std::size_t>> files{
        {"Library/Application Support/" + b + "/db", 1000},
        {"Library/Caches/" + b + "/c", 2000},
        {"Library/Application Support/Caches/" + b + "/c", 3000},
        {"Library/Preferences/" + b + ".plist", 4000},
        {"Library/Saved Application State/" + b + ".savedState/w", 5000},
        {"Library/Containers/" + b + "/x", 6000},
        {"Library/Group Containers/" + b + "/x", 7000},
        {"Library/Application Scripts/" + b + "/x", 8000},
        {"Library/HTTPStorages/" + b + "/x", 9000},
        {"Library/WebKit/" + b + "/x", 10000},
        {"Library/Cookies/" + b + ".binarycookies", 11000},
        {"Library/Logs/" + b + "/x", 12000},
        {"Library/Application Support/Notes/x", 14000},
        {"Library/Caches/Notes/x", 15000},
        {"Library/Logs/Notes/x", 16000},
        {"tmp/Notes-cache", 17000},
        {"Library/Preferences/ByHost/" + b + ".0123-ABCD.plist", 18000},
        {"Library/Preferences/ByHost/" + b + "Tool.plist", 18000},  // no dot after the id
        {"Library/Application Support/Kelvane/" + b, 50000},        // our own support folder
    };
    for (const auto& [relative, bytes] : files) {
        tree.file(relative, bytes);
    }
    tree.file("Library/LaunchAgents/" + b + ".plist", 0);  // place 13 exists but is empty
    std::ofstream(tree.path("Library/LaunchAgents/helper.plist"))
        << platform::writePropertyList({{"Label", PlistValue{b + ".helper"}}}, false);
    tree.link("tmp/Notes.link-target", tree.path("Library/Caches"));
    tree.link("tmp/Notes", tree.path("Library/Caches"));  // a leftover that is a link

    const auto items = inventory().leftovers(app);
    std::vector<std::string> found;
    for (const auto& item : items) {
        found.push_back(item.path.substr(tree.root().size() + 1));
        EXPECT_EQ(item.ruleID, "app-leftovers");
        EXPECT_EQ(item.group, RuleGroup::applications);
    }
    // Twelve places by identifier (the empty agent file is dropped), three by name, the
    // temporary folder, ByHost and the agent found by its label.
    EXPECT_EQ(found.size(), 18u) << ::testing::PrintToString(found);
    EXPECT_EQ(
        std::count(found.begin(), found.end(), "Library/Preferences/ByHost/" + b + "Tool.plist"),
        0);
    EXPECT_EQ(std::count(found.begin(), found.end(), "Library/Application Support/Kelvane/" + b),
              0);
    EXPECT_EQ(std::count(found.begin(), found.end(), "Library/LaunchAgents/helper.plist"), 1);
    EXPECT_EQ(std::count(found.begin(), found.end(), "tmp/Notes"), 0);
    for (std::size_t i = 1; i < items.size(); ++i) {
        EXPECT_GE(items[i - 1].size, items[i].size);
    }
    EXPECT_EQ(items.back().kind, ScanItem::Kind::file);
}

TEST_F(InventoryTest, ShortNamesGetNoNamePlaces) {
    tree.file("Library/Caches/Ab/x", 1000);
    auto app = makeApp(tree.path("Apps/Ab.app"), "org.example.ab", "Ab");
    EXPECT_TRUE(inventory().leftovers(app).empty());
}

TEST_F(InventoryTest, IdentifiersAndNamesThatAreNoPlainNameNeverBecomePaths) {
    // A bundle whose Info.plist tries to make "~/src" a leftover.
    tree.file("src/main.c", 4000);
    for (const auto& id : {"../../src", "a/b", "..", ""}) {
        bundle("Apps/Evil" + std::to_string(std::strlen(id)) + ".app", info(id, "Evil"));
    }
    EXPECT_TRUE(inventory().applications().empty());
    // A record made elsewhere with such texts finds nothing outside the places it may look.
    auto app = makeApp(tree.path("Apps/Evil.app"), "../../src", "../../src");
    EXPECT_TRUE(inventory().leftovers(app).empty());
    app.bundleID = "org.example.evil";
    tree.file("Library/Caches/org.example.evil/x", 1000);
    const auto items = inventory().leftovers(app);  // the name is not used as a path part
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].path, tree.path("Library/Caches/org.example.evil"));
    EXPECT_TRUE(FileTools::exists(tree.path("src/main.c")));
}

TEST_F(InventoryTest, TrashesIntoTheUsersTrashWithItsRecord) {
    const auto data = tree.folder("data");
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    const auto path = bundle("Apps/Gone.app", info("org.example.gone", "Gone"));
    AppInventory::trashApplication(makeApp(path, "org.example.gone", "Gone"));
    EXPECT_FALSE(FileTools::exists(path));
    EXPECT_TRUE(FileTools::isDirectory(data + "/Trash/files/Gone.app"));
    const auto record = data + "/Trash/info/Gone.app.trashinfo";
    ASSERT_TRUE(FileTools::exists(record));
    std::ifstream in(record);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "[Trash Info]");

    try {
        AppInventory::trashApplication(makeApp(tree.path("Apps/Missing.app"), "x", "x"));
        FAIL() << "expected a FileSystemError";
    } catch (const FileSystemError& error) {
        EXPECT_NE(std::string(error.what()).find("No such file"), std::string::npos)
            << error.what();
    }
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(InventoryTest, FindsARunningProgramOfABundleAndAsksItToQuit) {
    const auto path = bundle("Apps/Sleeper.app", info("org.example.sleeper", "Sleeper"));
    const auto program = path + "/Contents/MacOS/sleeper";
    std::filesystem::copy_file("/bin/sleep", program);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(program.c_str(), "sleeper", "30", nullptr);
        ::_exit(127);
    }
    // The child needs a moment to exec; poll the platform rather than guess a delay.
    std::vector<pid_t> running;
    for (int i = 0; i < 500 && running.empty(); ++i) {
        running = platform::processesInside(path);
        if (running.empty()) {
            std::this_thread::yield();
            ::usleep(2000);
        }
    }
    ASSERT_EQ(running, std::vector<pid_t>{child});
    EXPECT_FALSE(platform::hasTerminated(child));
    EXPECT_TRUE(platform::requestQuit(child));
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(platform::hasTerminated(child));
    EXPECT_TRUE(platform::processesInside(path).empty());
}

TEST_F(InventoryTest, FindsARunningAppImageByTheFileItRunsFrom) {
    // An AppImage runs from a mount of its own; only its environment names the file.
    const auto image = tree.file("Applications/Tool.AppImage", 10);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string variable = "APPIMAGE=" + image;
        char* const environment[] = {const_cast<char*>(variable.c_str()), nullptr};
        ::execle("/bin/sleep", "sleep", "30", nullptr, environment);
        ::_exit(127);
    }
    std::vector<pid_t> running;
    for (int i = 0; i < 500 && running.empty(); ++i) {
        running = platform::processesOfAppImage(image);
        if (running.empty()) {
            ::usleep(2000);
        }
    }
    EXPECT_EQ(running, std::vector<pid_t>{child});
    EXPECT_TRUE(platform::processesOfAppImage(image + ".other").empty());
    EXPECT_TRUE(platform::processesOfFlatpak("org.example.NotRunning").empty());
    platform::requestQuit(child);
    ::waitpid(child, nullptr, 0);
}
