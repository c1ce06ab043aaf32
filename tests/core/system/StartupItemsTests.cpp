#include <gtest/gtest.h>

#include <fstream>

#include "HomeTest.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/PropertyList.h"
#include "system/StartupItems.h"

using namespace kelvane;
using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;

namespace {

class StartupTest : public fixture::HomeTest {
  protected:
    std::string agent(const std::string& folder, const std::string& file, PlistDictionary keys,
                      bool binary = false) {
        const auto path = tree.folder(folder) + "/" + file;
        std::ofstream(path, std::ios::binary) << platform::writePropertyList(keys, binary);
        return path;
    }

    static PlistDictionary labelled(const std::string& label) {
        return PlistDictionary{
            {"Label", PlistValue{label}},
            {"ProgramArguments",
             PlistValue{PlistArray{PlistValue{"/usr/bin/" + label}, PlistValue{"--flag"}}}},
            {"RunAtLoad", PlistValue{true}}};
    }

  private:
    std::string saved_;
};

std::vector<std::string> labels(const std::vector<StartupItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items) {
        out.push_back(item.label);
    }
    return out;
}

}  // namespace

TEST_F(StartupTest, ReadsXmlAndBinaryAgentsAndSkipsWhatIsNoAgent) {
    const std::string folder = "agents";
    agent(folder, "xml.plist", labelled("xml"));
    agent(folder, "binary.plist", labelled("binary"), true);
    agent(folder, "upper.PLIST", labelled("upper"));
    agent(folder, "._resource.plist", labelled("hidden"));
    agent(folder, "no-label.plist", PlistDictionary{{"Program", PlistValue{"/bin/true"}}});
    agent(folder, "other.txt", labelled("wrong extension"));
    std::ofstream(tree.path(folder + "/broken.plist"))
        << "<?xml version=\"1.0\"?><plist><dict><key>";
    std::ofstream(tree.path(folder + "/array.plist"))
        << "<?xml version=\"1.0\"?><plist "
           "version=\"1.0\"><array><string>x</string></array></plist>";
    agent(folder, "program.plist",
          PlistDictionary{{"Label", PlistValue{"program"}},
                          {"ProgramArguments", PlistValue{PlistArray{}}},
                          {"Program", PlistValue{"/opt/tool"}},
                          {"RunAtLoad", PlistValue{"yes"}}});
    agent(folder, "nothing.plist", PlistDictionary{{"Label", PlistValue{"nothing"}}});

    auto items = StartupItems::readAgents(tree.path(folder), StartupKind::systemAgent, true, false);
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return a.label < b.label; });
    EXPECT_EQ(labels(items),
              (std::vector<std::string>{"binary", "nothing", "program", "upper", "xml"}));
    EXPECT_EQ(items[0].program, "/usr/bin/binary");
    EXPECT_TRUE(items[0].runAtLoad);
    EXPECT_EQ(items[1].program, std::nullopt);
    EXPECT_EQ(items[2].program, "/opt/tool");
    EXPECT_FALSE(items[2].runAtLoad);  // not a Boolean
    EXPECT_FALSE(items[0].canToggle);  // machine-wide agents never toggle
    EXPECT_TRUE(items[0].isEnabled);
    EXPECT_TRUE(StartupItems::readAgents(tree.path("missing"), StartupKind::userAgent, true, false)
                    .empty());
}

TEST_F(StartupTest, ListsEnabledAndParkedSortedByLabelAndSwitches) {
    agent("Library/LaunchAgents", "beta.plist", labelled("beta"));
    agent("Library/LaunchAgents", "alpha.plist", labelled("Alpha"));
    agent(AppPaths::disabledAgentsDirectory().substr(tree.root().size() + 1), "beta.plist",
          labelled("beta"));
    const auto items = StartupItems::startupItems();
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[0].label, "Alpha");
    EXPECT_EQ(items[1].label, "beta");
    EXPECT_TRUE(items[1].isEnabled);   // the user folder comes first among equal labels
    EXPECT_FALSE(items[2].isEnabled);  // the parked copy of the same name
    EXPECT_TRUE(items[2].canToggle);

    // Switching the enabled one off replaces the parked copy.
    const auto off = StartupItems::setStartupItem(items[1], false);
    EXPECT_FALSE(off.isEnabled);
    EXPECT_EQ(off.path, AppPaths::disabledAgentsDirectory() + "/beta.plist");
    EXPECT_FALSE(FileTools::exists(tree.path("Library/LaunchAgents/beta.plist")));
    const auto on = StartupItems::setStartupItem(off, true);
    EXPECT_TRUE(on.isEnabled);
    EXPECT_EQ(on.path, tree.path("Library/LaunchAgents/beta.plist"));
    EXPECT_FALSE(FileTools::exists(off.path));

    // A file that is no longer where it was: nothing changes.
    EXPECT_EQ(StartupItems::setStartupItem(off, true), off);
}

TEST_F(StartupTest, MachineWideAgentsAreNeverMoved) {
    const auto path = agent("system", "daemon.plist", labelled("daemon"));
    StartupItem item;
    item.path = path;
    item.label = "daemon";
    item.kind = StartupKind::systemAgent;
    item.canToggle = false;
    EXPECT_EQ(StartupItems::setStartupItem(item, false), item);
    EXPECT_TRUE(FileTools::exists(path));
    EXPECT_FALSE(FileTools::exists(AppPaths::supportDirectory()));
}
