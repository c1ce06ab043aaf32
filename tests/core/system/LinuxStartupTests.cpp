// Login items of a Linux desktop: XDG autostart entries and systemd user units, in a home and
// machine folders of the test's own.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "HomeTest.h"
#include "files/FileTools.h"
#include "platform/FileIO.h"
#include "system/StartupItems.h"

using namespace kelvane;

namespace {

class LinuxStartupTest : public fixture::HomeTest {
  protected:
    std::string write(const std::string& relative, const std::string& text) {
        const auto path = tree.file(relative, 0);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string userEntry(const std::string& name, const std::string& body) {
        return write(".config/autostart/" + name, "[Desktop Entry]\nType=Application\n" + body);
    }
    std::string machineEntry(const std::string& name, const std::string& body) {
        return write("machine/etc/xdg/autostart/" + name,
                     "[Desktop Entry]\nType=Application\n" + body);
    }
    static std::vector<StartupItem> items() {
        return StartupItems::startupItems(StartupSources::current());
    }
    static const StartupItem* find(const std::vector<StartupItem>& list, const std::string& label) {
        for (const auto& item : list) {
            if (item.label == label) {
                return &item;
            }
        }
        return nullptr;
    }
};

}  // namespace

TEST_F(LinuxStartupTest, AutostartEntriesAreReadAsTheDesktopReadsThem) {
    userEntry("sync.desktop",
              "Name=Sync\nName[en]=Sync (English)\nExec=env GDK_BACKEND=x11 syncthing serve\n"
              "OnlyShowIn=GNOME;KDE;\n");
    userEntry("quoted.desktop", "Name=Quoted\nExec=\"/opt/My App/bin/app\" --minimized\n");
    userEntry("tweaked-off.desktop", "Name=Tweaked off\nExec=x\nX-GNOME-Autostart-enabled=false\n");
    machineEntry("tracker.desktop", "Name=Tracker\nExec=/usr/libexec/tracker-miner\n");
    machineEntry("hidden.desktop", "Name=Hidden one\nExec=y\nHidden=true\nNotShowIn=XFCE;\n");
    machineEntry("sync.desktop", "Name=Machine sync\nExec=z\n");  // the user's entry wins
    write(".config/autostart/broken.desktop", "not a key file [[[");
    write(".config/autostart/nogroup.desktop", "[Other]\nName=x\n");
    write(".config/autostart/notes.txt", "[Desktop Entry]\nName=Not an entry\n");
    ASSERT_EQ(::mkfifo(tree.path(".config/autostart/fifo.desktop").c_str(), 0600), 0);

    const auto list = items();
    ASSERT_EQ(list.size(), 5u);
    const auto* sync = find(list, "Sync (English)");
    ASSERT_NE(sync, nullptr);
    EXPECT_EQ(sync->program, "syncthing");
    EXPECT_EQ(sync->source, StartupSource::autostart);
    EXPECT_EQ(sync->kind, StartupKind::userAgent);
    EXPECT_EQ(sync->onlyShowIn, (std::vector<std::string>{"GNOME", "KDE"}));
    EXPECT_TRUE(sync->isEnabled && sync->canToggle && sync->runAtLoad);
    EXPECT_EQ(find(list, "Quoted")->program, "/opt/My App/bin/app");
    // Switched off by the user's own tools: shown, and left for them to switch on.
    EXPECT_FALSE(find(list, "Tweaked off")->isEnabled);
    EXPECT_FALSE(find(list, "Tweaked off")->canToggle);
    const auto* tracker = find(list, "Tracker");
    EXPECT_EQ(tracker->kind, StartupKind::systemAgent);
    EXPECT_TRUE(tracker->isEnabled && tracker->canToggle);
    EXPECT_FALSE(find(list, "Hidden one")->isEnabled);
    EXPECT_EQ(find(list, "Hidden one")->notShowIn, std::vector<std::string>{"XFCE"});
    EXPECT_EQ(find(list, "Machine sync"), nullptr);
}

TEST_F(LinuxStartupTest, SwitchingAutostartEntriesNeverEditsAFileKelvaneDidNotWrite) {
    const auto own = userEntry("chat.desktop", "Name=Chat\nExec=chat\n");
    const auto machine = machineEntry("keyring.desktop", "Name=Keyring\nExec=keyring\n");
    const std::string machineText = platform::readFile(machine);
    const auto sources = StartupSources::current();

    // The user's entry moves aside and back.
    auto off = StartupItems::setStartupItem(*find(items(), "Chat"), false, sources, {});
    EXPECT_FALSE(FileTools::exists(own));
    EXPECT_FALSE(find(items(), "Chat")->isEnabled);
    StartupItems::setStartupItem(*find(items(), "Chat"), true, sources, {});
    EXPECT_TRUE(FileTools::exists(own));
    EXPECT_TRUE(find(items(), "Chat")->isEnabled);

    // A machine-wide entry is switched for this user by an override of Kelvane's own.
    StartupItems::setStartupItem(*find(items(), "Keyring"), false, sources, {});
    const auto override = tree.path(".config/autostart/keyring.desktop");
    ASSERT_TRUE(FileTools::exists(override));
    EXPECT_NE(platform::readFile(override).find("Hidden=true"), std::string::npos);
    auto listed = items();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_FALSE(find(listed, "Keyring")->isEnabled);
    EXPECT_TRUE(find(listed, "Keyring")->canToggle);
    StartupItems::setStartupItem(*find(listed, "Keyring"), true, sources, {});
    EXPECT_FALSE(FileTools::exists(override));
    EXPECT_TRUE(find(items(), "Keyring")->isEnabled);
    EXPECT_EQ(platform::readFile(machine), machineText);

    // A user's entry in the way of a parked one stays as it is.
    StartupItems::setStartupItem(*find(items(), "Chat"), false, sources, {});
    const auto newer = userEntry("chat.desktop", "Name=Chat again\nExec=chat2\n");
    EXPECT_THROW(StartupItems::setStartupItem(off, true, sources, {}), std::exception);
    EXPECT_NE(platform::readFile(newer).find("Chat again"), std::string::npos);
    EXPECT_TRUE(FileTools::exists(off.path));
}

TEST_F(LinuxStartupTest, AUserEntryShadowingAMachineOneIsSwitchedAsOne) {
    userEntry("updates.desktop", "Name=My updates\nExec=mine\n");
    machineEntry("updates.desktop", "Name=Updates\nExec=theirs\n");
    const auto sources = StartupSources::current();
    StartupItems::setStartupItem(*find(items(), "My updates"), false, sources, {});
    // Moved aside, and the machine-wide entry does not start in its place.
    auto listed = items();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].label, "My updates");
    EXPECT_FALSE(listed[0].isEnabled);
    StartupItems::setStartupItem(listed[0], true, sources, {});
    listed = items();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(listed[0].isEnabled);
    EXPECT_NE(platform::readFile(tree.path(".config/autostart/updates.desktop")).find("mine"),
              std::string::npos);
}

TEST_F(LinuxStartupTest, UserUnitsAreReadFromTheirWantsLinks) {
    write(".config/systemd/user/syncthing.service",
          "# comment\n[Unit]\nDescription=Syncthing - Open Source Continuous File Sync\n"
          "[Service]\nExecStart=-/usr/bin/syncthing serve \\\n  --no-browser\n"
          "[Install]\nWantedBy=default.target\n");
    tree.folder(".config/systemd/user/default.target.wants");
    tree.link(".config/systemd/user/default.target.wants/syncthing.service",
              "../syncthing.service");
    // A template instance whose file is found on the search path; odd names are not units.
    write("machine/etc/systemd/user/backup@.service",
          "[Unit]\nDescription=Backup of %i\n[Service]\nExecStart=/usr/bin/backup %i\n");
    tree.link(".config/systemd/user/default.target.wants/backup@home.service",
              "/nowhere/backup@home.service");
    tree.link(".config/systemd/user/default.target.wants/bad name.service", "/x");
    tree.link(".config/systemd/user/default.target.wants/readme.txt", "/x");
    write("machine/etc/systemd/user/gpg-agent.socket", "[Unit]\nDescription=GnuPG agent\n");
    tree.folder("machine/etc/systemd/user/sockets.target.wants");
    tree.link("machine/etc/systemd/user/sockets.target.wants/gpg-agent.socket",
              "../gpg-agent.socket");

    const auto list = items();
    ASSERT_EQ(list.size(), 3u);
    const auto* sync = find(list, "Syncthing - Open Source Continuous File Sync");
    ASSERT_NE(sync, nullptr);
    EXPECT_EQ(sync->source, StartupSource::systemdUnit);
    EXPECT_EQ(sync->program, "/usr/bin/syncthing");
    EXPECT_EQ(sync->path, tree.path(".config/systemd/user/syncthing.service"));
    EXPECT_TRUE(sync->isEnabled && sync->canToggle);
    EXPECT_EQ(find(list, "Backup of %i")->program, "/usr/bin/backup");
    const auto* agent = find(list, "GnuPG agent");
    EXPECT_EQ(agent->kind, StartupKind::systemAgent);
    EXPECT_FALSE(agent->canToggle);
    EXPECT_EQ(agent->program, std::nullopt);
}

TEST_F(LinuxStartupTest, UserUnitsAreSwitchedThroughTheServiceManager) {
    write(".config/systemd/user/syncthing.service",
          "[Unit]\nDescription=Syncthing\n[Service]\nExecStart=/usr/bin/syncthing\n"
          "[Install]\nWantedBy=default.target\n");
    // Linked by hand, with nothing `systemctl enable` could link again: not switched off.
    write(".config/systemd/user/manual.service", "[Unit]\nDescription=Manual\n");
    tree.link(".config/systemd/user/default.target.wants/manual.service", "../manual.service");
    EXPECT_FALSE(find(items(), "Manual")->canToggle);
    const auto link = tree.path(".config/systemd/user/default.target.wants/syncthing.service");
    tree.folder(".config/systemd/user/default.target.wants");
    tree.link(".config/systemd/user/default.target.wants/syncthing.service",
              "../syncthing.service");
    std::vector<std::vector<std::string>> calls;
    // Stands in for `systemctl --user`: removes or makes the wants-link.
    const platform::CommandRunner manager = [&](const std::vector<std::string>& argv) {
        calls.push_back(argv);
        if (argv[2] == "disable") {
            ::unlink(link.c_str());
        } else {
            (void)!::symlink("../syncthing.service", link.c_str());
        }
        return platform::CommandResult{true, 0, ""};
    };
    const auto sources = StartupSources::current();
    StartupItems::setStartupItem(*find(items(), "Syncthing"), false, sources, manager);
    EXPECT_EQ(calls.back(),
              (std::vector<std::string>{"systemctl", "--user", "disable", "syncthing.service"}));
    const auto afterwards = items();
    const auto* off = find(afterwards, "Syncthing");
    ASSERT_NE(off, nullptr) << "a unit Kelvane switched off stays listed";
    EXPECT_FALSE(off->isEnabled);
    StartupItems::setStartupItem(*off, true, sources, manager);
    EXPECT_EQ(calls.back()[2], "enable");
    EXPECT_TRUE(find(items(), "Syncthing")->isEnabled);

    // A manager that says yes without making the link: the item stays listed, off.
    StartupItems::setStartupItem(*find(items(), "Syncthing"), false, sources, manager);
    const platform::CommandRunner idle = [&](const std::vector<std::string>&) {
        return platform::CommandResult{true, 0, "The unit files have no installation config.\n"};
    };
    EXPECT_THROW(StartupItems::setStartupItem(*find(items(), "Syncthing"), true, sources, idle),
                 std::exception);
    ASSERT_NE(find(items(), "Syncthing"), nullptr);
    EXPECT_FALSE(find(items(), "Syncthing")->isEnabled);
    StartupItems::setStartupItem(*find(items(), "Syncthing"), true, sources, manager);

    // Without a user manager the reason is a sentence, and nothing changes.
    struct Case {
        platform::CommandResult result;
        std::string message;
    };
    for (const auto& c :
         {Case{{false, -1, ""},
               "systemctl could not be started, so Syncthing cannot be switched "
               "here."},
          Case{{true, 1, "Failed to connect to bus: No medium found\n"},
               "systemd could not switch Syncthing off: there is no user service manager running "
               "in this session."}}) {
        const platform::CommandRunner failing = [&](const std::vector<std::string>&) {
            return c.result;
        };
        try {
            StartupItems::setStartupItem(*find(items(), "Syncthing"), false, sources, failing);
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
        EXPECT_TRUE(find(items(), "Syncthing")->isEnabled);
    }
}
