// Applications of a Linux desktop, in a home and installation folders of the test's own.

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "HomeTest.h"
#include "files/FileTools.h"
#include "system/AppInventory.h"

using namespace kelvane;

namespace {

class LinuxAppsTest : public fixture::HomeTest {
  protected:
    std::string write(const std::string& relative, const std::string& text) {
        const auto path = tree.file(relative, 0);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    AppInventory inventory() {
        AppInventory inventory(std::vector<std::string>{}, tree.root(), tree.path("tmp"));
        inventory.places.userApplications = tree.path(".local/share/applications");
        inventory.places.flatpakUser = tree.path(".local/share/flatpak");
        inventory.places.flatpakSystem = tree.path("machine/var/lib/flatpak");
        inventory.places.appImageFolders = {tree.path("Applications"), tree.path(".local/bin")};
        inventory.places.snapRoot = tree.path("machine/snap");
        inventory.places.snapFiles = tree.path("machine/var/lib/snapd/snaps");
        return inventory;
    }
    static std::string appImageBytes(char type) {
        std::string bytes(
            "\x7f"
            "ELF\x02\x01\x01\x00",
            8);
        bytes += std::string{'A', 'I', type};
        return bytes + std::string(4096, '\0');
    }
};

}  // namespace

TEST_F(LinuxAppsTest, ProgramsInstalledIntoTheHomeFolderWithADesktopEntry) {
    write(".local/opt/Tool/bin/tool", "#!/bin/sh\n");
    write(".local/share/applications/tool.desktop",
          "[Desktop Entry]\nType=Application\nName=Tool\nIcon=tool\nExec=\"" +
              tree.path(".local/opt/Tool/bin/tool") + "\" %U\n");
    write(".local/bin/loose", "#!/bin/sh\n");
    write(".local/share/applications/loose.desktop",
          "[Desktop Entry]\nType=Application\nName=Loose\nExec=" + tree.path(".local/bin/loose") +
              "\n");
    // A program of the system, a hidden entry, an entry for a program that is gone, a link.
    write(".local/share/applications/firefox.desktop",
          "[Desktop Entry]\nType=Application\nName=Firefox\nExec=firefox %u\n");
    write(".local/share/applications/hidden.desktop",
          "[Desktop Entry]\nType=Application\nName=Hidden\nNoDisplay=true\nExec=" +
              tree.path(".local/opt/Tool/bin/tool") + "\n");
    write(".local/share/applications/gone.desktop",
          "[Desktop Entry]\nType=Application\nName=Gone\nExec=" + tree.path(".local/opt/Gone/x") +
              "\n");

    const auto apps = inventory().desktopApplications();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].name, "Loose");
    EXPECT_EQ(apps[0].path, tree.path(".local/bin/loose"));
    EXPECT_EQ(apps[1].name, "Tool");
    EXPECT_EQ(apps[1].source, AppSource::desktopEntry);
    EXPECT_EQ(apps[1].path, tree.path(".local/opt/Tool"));
    EXPECT_EQ(apps[1].bundleID, "tool");
    EXPECT_EQ(apps[1].icon, "tool");
    EXPECT_EQ(apps[1].desktopEntry, tree.path(".local/share/applications/tool.desktop"));
}

TEST_F(LinuxAppsTest, FlatpaksFromTheirDeployedMetadata) {
    const std::string id = "org.gimp.GIMP";
    const auto deploy = "machine/var/lib/flatpak/app/" + id + "/x86_64/stable/abc123/";
    write(deploy + "metadata", "[Application]\nname=" + id + "\nruntime=org.gnome.Platform\n");
    write(deploy + "export/share/applications/" + id + ".desktop",
          "[Desktop Entry]\nType=Application\nName=GNU Image Manipulation Program\nIcon=" + id +
              "\nExec=gimp\n");
    write(deploy + "files/share/metainfo/" + id + ".metainfo.xml",
          "<?xml version=\"1.0\"?><component><releases><release version=\"2.10.38\" "
          "date=\"2024-05-02\"/><release version=\"2.10.36\"/></releases></component>");
    write(deploy + "files/bin/gimp", std::string(10'000, 'g'));
    tree.link("machine/var/lib/flatpak/app/" + id + "/x86_64/stable/active", "abc123");
    tree.link("machine/var/lib/flatpak/app/" + id + "/current", "x86_64/stable");
    // A user installation with a damaged metainfo and an ID that is no ID.
    write(".local/share/flatpak/app/com.example.Tool/current/active/metadata", "[Application]\n");
    write(
        ".local/share/flatpak/app/com.example.Tool/current/active/files/share/metainfo/"
        "com.example.Tool.metainfo.xml",
        "<component><releases><release version=");
    write(".local/share/flatpak/app/bad id/current/active/metadata", "[Application]\n");

    const auto apps = inventory().flatpaks();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].bundleID, "com.example.Tool");
    EXPECT_EQ(apps[0].name, "com.example.Tool");
    EXPECT_EQ(apps[1].source, AppSource::flatpak);
    EXPECT_EQ(apps[1].name, "GNU Image Manipulation Program");
    EXPECT_EQ(apps[1].version, "2.10.38");
    EXPECT_EQ(apps[1].icon, id);
    EXPECT_EQ(apps[1].path, tree.path("machine/var/lib/flatpak/app/" + id));
    EXPECT_GE(apps[1].size, 10'000);
}

TEST_F(LinuxAppsTest, AppImagesByTheirMagicNotTheirName) {
    write("Applications/Tool-1.2.3-x86_64.AppImage", appImageBytes(2));
    write(".local/bin/OldStyle.AppImage", appImageBytes(1));
    write("Applications/plain-elf",
          "\x7f"
          "ELF\x02\x01\x01\x00" +
              std::string(64, '\0'));
    write("Applications/Fake.AppImage", "not an image");
    tree.link("Applications/link.AppImage", tree.path("Applications/Tool-1.2.3-x86_64.AppImage"));

    const auto apps = inventory().appImages();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].name, "Tool");
    EXPECT_EQ(apps[0].version, "1.2.3");
    EXPECT_EQ(apps[0].source, AppSource::appImage);
    EXPECT_EQ(apps[1].name, "OldStyle");
}

TEST_F(LinuxAppsTest, SnapsFromTheirSnapYaml) {
    write("machine/snap/spotify/current/meta/snap.yaml",
          "name: spotify\nversion: 1.2.31\ntitle: Spotify\ntype: app\napps:\n  spotify:\n"
          "    command: spotify\n");
    write("machine/snap/core22/current/meta/snap.yaml", "name: core22\ntype: base\n");
    write("machine/snap/liar/current/meta/snap.yaml", "name: somebody-else\n");
    write("machine/snap/broken/current/meta/snap.yaml", "name: [unclosed\n  : : :\n");
    write("machine/snap/anchors/current/meta/snap.yaml",
          "a: &a [*a, *a]\nname: anchors\n");  // a hostile alias
    write("machine/var/lib/snapd/snaps/spotify_75.snap", std::string(8192, 's'));

    const auto apps = inventory().snaps();
    ASSERT_GE(apps.size(), 1u);
    EXPECT_EQ(apps[0].name, "anchors");
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[1].name, "Spotify");
    EXPECT_EQ(apps[1].bundleID, "spotify");
    EXPECT_EQ(apps[1].version, "1.2.31");
    EXPECT_EQ(apps[1].source, AppSource::snap);
    EXPECT_GE(apps[1].size, 8192);
}

TEST_F(LinuxAppsTest, EachKindIsRemovedTheWayItWasInstalled) {
    ::setenv("XDG_DATA_HOME", tree.path(".local/share").c_str(), 1);
    write(".local/share/flatpak/app/org.example.Chat/current/active/metadata", "[Application]\n");
    write("machine/var/lib/flatpak/app/org.example.Maps/current/active/metadata",
          "[Application]\n");
    write("machine/snap/spotify/current/meta/snap.yaml", "name: spotify\ntype: app\n");
    const auto image = write("Applications/Tool-1.0-x86_64.AppImage", appImageBytes(2));
    const auto integration = write(
        ".local/share/applications/appimagekit_0a1b-Tool.desktop",
        "[Desktop Entry]\nType=Application\nName=Tool\nIcon=appimagekit_0a1b_tool\nExec=" + image +
            " %U\n");
    const auto icon =
        write(".local/share/icons/hicolor/256x256/apps/appimagekit_0a1b_tool.png", "i");
    const auto other = write(".local/share/applications/appimagekit_ffff-Other.desktop",
                             "[Desktop Entry]\nType=Application\nName=Other\nExec=/x/Other\n");

    std::vector<std::vector<std::string>> calls;
    platform::CommandResult answer{true, 0, ""};
    const platform::CommandRunner run = [&](const std::vector<std::string>& argv) {
        calls.push_back(argv);
        return answer;
    };
    const auto inv = inventory();
    for (const auto& app : inv.flatpaks()) {
        inv.uninstall(app, run);
    }
    for (const auto& app : inv.snaps()) {
        inv.uninstall(app, run);
    }
    EXPECT_EQ(calls,
              (std::vector<std::vector<std::string>>{
                  {"flatpak", "uninstall", "--noninteractive", "--user", "org.example.Chat"},
                  {"flatpak", "uninstall", "--noninteractive", "--system", "org.example.Maps"},
                  {"snap", "remove", "spotify"}}));

    // The tool's refusal, or its absence, is a sentence; nothing else happens.
    answer = {true, 1, "error: access denied\n"};
    try {
        inv.uninstall(inv.snaps().front(), run);
        ADD_FAILURE();
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Snap could not remove spotify: error: access denied. Remove it in a terminal "
                  "with “sudo snap remove spotify”.");
    }
    answer = {false, -1, ""};
    EXPECT_THROW(inv.uninstall(inv.flatpaks().front(), run), std::exception);

    // An AppImage goes to the Trash with its own desktop integration, not another's.
    calls.clear();
    inv.uninstall(inv.appImages().front(), run);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(FileTools::exists(image));
    EXPECT_FALSE(FileTools::exists(integration));
    EXPECT_FALSE(FileTools::exists(icon));
    EXPECT_TRUE(FileTools::exists(other));
    EXPECT_TRUE(FileTools::exists(tree.path(".local/share/Trash/files/Tool-1.0-x86_64.AppImage")));
}

TEST_F(LinuxAppsTest, LeftoversInTheXdgFoldersByIdAndName) {
    InstalledApp gimp;
    gimp.source = AppSource::flatpak;
    gimp.path = tree.path("machine/var/lib/flatpak/app/org.gimp.GIMP");
    gimp.bundleID = "org.gimp.GIMP";
    gimp.name = "GIMP";
    gimp.icon = "org.gimp.GIMP";
    tree.file(".var/app/org.gimp.GIMP/config/gimprc", 1000);
    tree.file(".config/GIMP/2.10/sessionrc", 1000);
    tree.file(".cache/gimp/thumb.png", 1000);
    tree.file(".local/share/org.gimp.GIMP/data.bin", 1000);
    tree.file(".local/share/icons/hicolor/256x256/apps/org.gimp.GIMP.png", 1000);
    tree.file(".config/autostart/org.gimp.GIMP.desktop", 100);
    tree.file("elsewhere/real.bin", 1000);
    tree.link(".local/state/gimp", tree.path("elsewhere"));  // a link: never offered
    tree.file(".config/gimp-unrelated/x", 1000);             // neither its ID nor its name
    tree.file(".local/share/GIMP/x", 1000);                  // claimed by another app below

    InstalledApp other;
    other.path = "/elsewhere/GIMP Launcher";
    other.bundleID = "GIMP";
    other.name = "GIMP Launcher";
    const auto items = inventory().leftovers(gimp, {gimp, other});
    std::set<std::string> found;
    for (const auto& item : items) {
        found.insert(item.path.substr(tree.root().size() + 1));
    }
    // ".config/GIMP" matches its name, but the other app's ID claims it too.
    EXPECT_EQ(found, (std::set<std::string>{
                         ".var/app/org.gimp.GIMP", ".cache/gimp", ".local/share/org.gimp.GIMP",
                         ".local/share/icons/hicolor/256x256/apps/org.gimp.GIMP.png",
                         ".config/autostart/org.gimp.GIMP.desktop"}));
    EXPECT_TRUE(FileTools::exists(tree.path("elsewhere/real.bin")));
}
