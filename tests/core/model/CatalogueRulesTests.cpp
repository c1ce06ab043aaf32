// Each shipped rule, run over a small fixture of what its software really writes, offers
// what it should and withholds the rest.

#include <gtest/gtest.h>

#include <map>

#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/SafetyPolicy.h"
#include "model/RuleCatalogue.h"
#include "scan/CleanScanner.h"

using namespace kelvane;

namespace {

struct Fixture {
    // Paths relative to the rule folder. For a rule of whole children a name ending in "/"
    // is a folder holding one file.
    std::vector<std::string> offered;
    std::vector<std::string> withheld;
};

const std::map<std::string, Fixture>& fixtures() {
    static const std::map<std::string, Fixture> table{
        {"user-temp", {{"build-1234/obj.o", "session.tmp"}, {}}},
        {"shared-temp",
         {{"old-download.zip", "makepkg/src/a.c"},
          {".X11-unix/X0", "systemd-private-abc/tmp/x", "ssh-XYZ/agent.1", "app.lock",
           "tmux-1000/default"}}},
        {"user-state-logs",
         {{"app/app.log", "app/app.log.1", "nvim/log.log.old"},
          {"wireplumber/restore-stream", "app/state.json", "lesshst"}}},
        {"xorg-logs", {{"Xorg.0.log.old", "Xorg.0.log"}, {"Xorg.conf"}}},
        {"session-errors", {{".xsession-errors.old"}, {".bashrc", ".xsession-errors", "notes/"}}},
        {"crash-reports", {{"_usr_bin_foo.1000.crash", "_usr_bin_foo.1000.upload"}, {"notes.txt"}}},
        {"thumbnails",
         {{"large/abc.png", "normal/def.png", "fail/gnome-thumbnail-factory/x.png"},
          {"normal/index.db"}}},
        {"legacy-thumbnails", {{"normal/abc.png", "large/def.png"}, {"notes.txt"}}},
        {"user-cache",
         {{"fontconfig/", "gstreamer-1.0/", "stale.bin"},
          // Caches that hold state (virtual environments, local history, unsent files, offline
          // music, password-manager state, received files) and developer caches, which only
          // the opt-in developer rules offer.
          {"mozilla/", "pip/", "thumbnails/", "mesa_shader_cache/", "go-build/", "yarn/",
           "pypoetry/", "JetBrains/", "rclone/", "spotify/", "keepassxc/", "obexd/", "uv/",
           "bazel/", "huggingface/", "torch/"}}},
        {"shader-caches", {{"mesa_shader_cache/", "nvidia/"}, {"fontconfig/"}}},
        {"flatpak-caches",
         {{"org.gimp.GIMP/cache/gimp/x.bin", "org.mozilla.firefox/cache/mozilla/p/cache2/A"},
          {"org.gimp.GIMP/config/GIMP/gimprc", "org.gimp.GIMP/data/x",
           "com.spotify.Client/cache/spotify/Data/ab.file",
           // A "cache" folder deep inside an app's data is that app's data.
           "org.mozilla.firefox/.mozilla/firefox/p/storage/default/site/cache/x.bin",
           "com.valvesoftware.Steam/.local/share/Steam/steamapps/common/Game/cache/level.pak"}}},
        {"snap-caches",
         {{"firefox/common/.cache/mozilla/firefox/p/cache2/entries/A", "vlc/3777/.cache/vlc/x"},
          {"firefox/common/Downloads/x.pdf", "firefox/current/.mozilla/firefox/p/cookies.sqlite",
           "spotify/common/.cache/spotify/Storage/x.file", "app/common/data/.cache/x"}}},
        {"electron-caches",
         {{"Code/Cache/Cache_Data/data_0", "Code/Code Cache/js/index", "discord/GPUCache/data_1",
           "Code/CachedData/abc/x.code", "Slack/Service Worker/CacheStorage/ab/index",
           "Slack/Service Worker/ScriptCache/x", "discord/DawnGraphiteCache/data_0",
           "Signal/GrShaderCache/data_1"},
          {"Code/User/settings.json", "discord/Local Storage/leveldb/000.log",
           "Code/User/workspaceStorage/abc/Cache/x", "google-chrome/ShaderCache/data_0",
           "chromium/Default/GPUCache/data_1"}}},
        {"wine-temp",
         {{"users/alex/Temp/setup.tmp", "users/alex/AppData/Local/Temp/x.log",
           "windows/temp/msi123.tmp"},
          {"users/alex/Documents/letter.doc", "Program Files/App/Temp/keep.dat"}}},
        {"java-deployment-cache", {{"6.0/"}, {}}},
        {"icedtea-cache", {{"0/", "recently_used"}, {}}},
        {"firefox-cache",
         {{"abcd.default-release/cache2/entries/0A1B", "abcd.default-release/startupCache/s.bin"},
          {}}},
        {"chromium-cache", {{"Default/Cache/Cache_Data/f_000001"}, {}}},
        {"chrome-cache",
         {{"Default/Cache/Cache_Data/f_000001", "Profile 1/Cache/Cache_Data/index"}, {}}},
        {"brave-cache", {{"Default/Cache/Cache_Data/data_2"}, {}}},
        {"vivaldi-cache", {{"Default/Cache/Cache_Data/data_3"}, {}}},
        {"edge-cache", {{"Default/Cache/Cache_Data/data_4"}, {}}},
        {"chromium-profile-caches",
         {{"google-chrome/Default/Service Worker/CacheStorage/ab/cd/index",
           "google-chrome/Profile 1/Service Worker/ScriptCache/x", "chromium/ShaderCache/data_0",
           "google-chrome/GrShaderCache/data_1", "chromium/Default/GPUCache/data_2",
           "BraveSoftware/Brave-Browser/Default/DawnCache/data_0", "vivaldi/Default/GPUCache/x"},
          {"google-chrome/Default/Cookies", "google-chrome/Default/History",
           "google-chrome/Default/Login Data", "chromium/Default/Local Storage/leveldb/000.log",
           "google-chrome/Default/Extensions/abc/1.0/manifest.json",
           "google-chrome/Default/IndexedDB/site/000.log", "Code/Cache/data_0"}}},
        {"pip-cache", {{"http-v2/", "wheels/", "selfcheck.json"}, {}}},
        {"npm-cache", {{"content-v2/", "index-v5/"}, {}}},
        {"yarn-cache", {{"v6/"}, {}}},
        {"pnpm-store", {{"v3/"}, {}}},
        {"pnpm-cache", {{"metadata/"}, {}}},
        {"cargo-registry-cache", {{"index.crates.io-6f17d22bba15001f/"}, {}}},
        {"go-build-cache", {{"00/", "ff/", "trim.txt"}, {}}},
        {"gradle-caches", {{"modules-2/", "8.5/"}, {}}},
        {"maven-repository", {{"org/", "com/"}, {}}},
        {"ccache", {{"0/", "a/"}, {"ccache.conf"}}},
        {"uv-cache", {{"wheels-v5/", "archive-v0/", "builds-v0/"}, {".lock", "CACHEDIR.TAG"}}},
        {"poetry-cache", {{"cache/", "artifacts/"}, {"virtualenvs/"}}},
        {"bazel-cache", {{"_bazel_alex/"}, {}}},
        {"huggingface-models",
         {{"models--bert-base-uncased/", "datasets--squad/"}, {"version.txt", ".locks/"}}},
        {"torch-hub", {{"checkpoints/", "pytorch_vision_main/"}, {}}},
        {"trash", {{"old photo.jpg", "Project folder/"}, {"Old Tool.app/"}}},
        {"trash-info", {{"old photo.jpg.trashinfo"}, {"notes.txt"}}},
        {"trash-expunged", {{"1234567/"}, {}}},
        {"old-installers",
         {{"tool_1.0_amd64.deb", "App-x86_64.AppImage", "setup.run", "app.flatpakref", "pkg.rpm"},
          {"report.pdf", "photo.jpg"}}},
        {"old-disk-images", {{"debian-12.iso", "raspios.img"}, {"photo.jpg", "song.mp3"}}},
        {"unfinished-downloads", {{"movie.mkv.part", "file.crdownload"}, {"movie.mkv"}}},
    };
    return table;
}

class ShippedRule : public ::testing::TestWithParam<CleanRule> {};

// What the rule offers for one entry: its item (the entry itself, or for a rule of whole
// children the child holding it) when the filters and the safety policy let it go.
bool offers(const CleanRule& rule, const std::string& root, const std::string& relative) {
    std::string item = relative;
    if (rule.granularity == RuleGranularity::tree) {
        item = relative.substr(0, relative.find('/'));
    }
    const auto path = root + "/" + item;
    const auto name = item.substr(item.rfind('/') + 1);
    return CleanScanner::matchesFilters(path, name, rule, root) &&
           !SafetyPolicy{}.rejectionReason(path, rule, {});
}

}  // namespace

TEST(ShippedRules, EveryRuleHasAFixture) {
    for (const auto& rule : RuleCatalogue::bundled()) {
        EXPECT_TRUE(fixtures().contains(rule.id)) << rule.id;
    }
}

TEST_P(ShippedRule, OffersWhatItsSoftwareWritesAndNothingElse) {
    const auto& rule = GetParam();
    const auto it = fixtures().find(rule.id);
    ASSERT_NE(it, fixtures().end());
    const auto root = AppPaths::expand(rule.path);
    const auto home = AppPaths::home();
    // Each test process has a home folder of its own. Rules inside the home folder get real files
    // in the temporary home; the others are judged on their paths alone, so the test writes nothing
    // outside its home folder.
    const bool inHome = SafetyPolicy::contains(root, home);
    auto make = [&](const std::string& relative) {
        if (!inHome) {
            return;
        }
        const auto full = root + "/" + relative;
        const auto inner = full.back() == '/' ? full + "content.bin" : full;
        fixture::TempTree::writeFile(inner, 4096, static_cast<double>(rule.minAgeDays) + 1);
        if (relative.ends_with(".app/")) {
            fixture::TempTree::writeFile(full + "Contents/Info.plist", 100, 0);
        }
    };
    for (const auto& entry : it->second.offered) {
        make(entry);
    }
    for (const auto& entry : it->second.withheld) {
        make(entry);
    }
    for (auto entry : it->second.offered) {
        if (entry.back() == '/') {
            entry.pop_back();
        }
        EXPECT_TRUE(offers(rule, root, entry)) << rule.id << " should offer " << entry;
    }
    for (auto entry : it->second.withheld) {
        if (entry.back() == '/') {
            entry.pop_back();
        }
        EXPECT_FALSE(offers(rule, root, entry)) << rule.id << " should not offer " << entry;
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ShippedRule, ::testing::ValuesIn(RuleCatalogue::bundled()),
                         [](const auto& param) {
                             std::string name = param.param.id;
                             for (auto& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });
