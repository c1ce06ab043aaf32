// Files Kelvane reads may be anything: a FIFO or a device in a store file's place, a property
// list built to trip its library.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "TempTree.h"
#include "platform/FileIO.h"
#include "platform/FileSystemError.h"
#include "platform/PropertyList.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

TEST(UntrustedFiles, OnlyRegularFilesOfSaneSizeAreRead) {
    TempTree tree;
    const auto fifo = tree.path("settings.json");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(platform::readFile(fifo), FileSystemError);  // at once, not hanging
    const auto zero = tree.link("index.json", "/dev/zero");
    EXPECT_THROW(platform::readFile(zero), FileSystemError);
    EXPECT_THROW(platform::readFile(tree.folder("folder")), FileSystemError);
    const auto big = tree.file("big.json", 4096);
    EXPECT_THROW(platform::readFile(big, 4095), FileSystemError);
    EXPECT_EQ(platform::readFile(big, 4096).size(), 4096u);
    // A dotfile manager's link to a regular file is fine.
    const auto linked = tree.link("linked.json", big);
    EXPECT_EQ(platform::readFile(linked).size(), 4096u);
}

namespace {

// A binary property list with one dictionary {key: value}, both strings, the value written as
// UTF-16 when `wide`.
std::string binaryPlist(const std::string& key, const std::u16string& value, bool wide) {
    std::string bytes = "bplist00";
    std::vector<std::uint64_t> offsets;
    offsets.push_back(bytes.size());
    bytes += static_cast<char>(0xD1);  // dictionary of one
    bytes += '\x01';                   // key object
    bytes += '\x02';                   // value object
    offsets.push_back(bytes.size());
    bytes += static_cast<char>(0x50 | key.size());
    bytes += key;
    offsets.push_back(bytes.size());
    if (wide) {
        bytes += static_cast<char>(0x60 | value.size());
        for (const char16_t unit : value) {
            bytes += static_cast<char>(unit >> 8);
            bytes += static_cast<char>(unit & 0xFF);
        }
    } else {
        bytes += static_cast<char>(0x50 | value.size());
        for (const char16_t unit : value) {
            bytes += static_cast<char>(unit);
        }
    }
    const auto table = bytes.size();
    for (const auto offset : offsets) {
        bytes += static_cast<char>(offset);
    }
    std::string trailer(32, '\0');
    trailer[6] = 1;  // offset size
    trailer[7] = 1;  // object reference size
    trailer[15] = static_cast<char>(offsets.size());
    trailer[31] = static_cast<char>(table);
    return bytes + trailer;
}

}  // namespace

TEST(UntrustedFiles, PropertyListsThatHideANulAreRefusedWithoutAborting) {
    using namespace std::string_literals;
    const std::string xmlHead = R"(<?xml version="1.0"?><plist version="1.0"><dict>)";
    const std::string hostile[] = {
        xmlHead + "<key>Label</key><string>a&#0;b</string></dict></plist>",
        xmlHead + "<key>Label</key><string>a&#x000;b</string></dict></plist>",
        xmlHead + "<key>La&#0;bel</key><string>x</string></dict></plist>",
        xmlHead + "<key>Label</key><string>a\0b</string></dict></plist>"s,
        binaryPlist("Label", u"a\0b"s, true),
        binaryPlist("Label", u"a\0b"s, false),
        binaryPlist("La\0l"s, u"x", false),
        binaryPlist("Label", u"x", true).substr(0, 20),  // cut short
        "bplist00"s + std::string(40, '\xFF'),           // an object table out of bounds
    };
    for (const auto& bytes : hostile) {
        EXPECT_FALSE(platform::parsePropertyList(bytes).has_value());
    }
    // The same shapes without the NUL read normally.
    const auto fine = platform::parsePropertyList(binaryPlist("Label", u"caf\u00e9", true));
    ASSERT_TRUE(fine.has_value());
    EXPECT_EQ(*fine->at("Label").string(), "caf\xC3\xA9");
    EXPECT_TRUE(platform::parsePropertyList(
        xmlHead + "<key>Label</key><string>a&#38;b</string></dict></plist>"));
}
