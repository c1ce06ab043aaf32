#include <gtest/gtest.h>

#include "support/Json.h"

using namespace kelvane;

TEST(JsonBytes, AnyBytesRoundTripAndReadableTextStaysReadable) {
    const std::string cases[] = {
        "/home/al/plain.txt",
        "/home/al/caf\xC3\xA9.txt",  // UTF-8: no second key
        "/home/al/caf\xE9.txt",      // Latin-1 from an old archive
        "/home/al/\xFF\xFE\x80",     // nothing valid at all
        "/home/al/half\xE2\x82",     // a sequence cut short
        std::string("/home/al/a\x01\x7F", 12),
    };
    for (const auto& bytes : cases) {
        json::Json object = json::Json::object();
        json::putBytes(object, "path", bytes);
        EXPECT_EQ(object.contains("pathBytes"), !json::isValidUTF8(bytes)) << bytes;
        // Through text and back, as a store does.
        const auto text = json::dump(object);
        EXPECT_TRUE(json::isValidUTF8(text));
        EXPECT_EQ(json::requireBytes(json::parse(text), "path"), bytes);

        json::Json list = json::Json::object();
        json::putBytesArray(list, "ignore", {"~/ok", bytes, "~/also ok"});
        EXPECT_EQ(json::requireBytesArray(json::parse(json::dump(list)), "ignore"),
                  (std::vector<std::string>{"~/ok", bytes, "~/also ok"}));
    }
}

TEST(JsonBytes, DamagedExactFormsAreRejected) {
    const char* documents[] = {
        R"({"path": "/a", "pathBytes": "not base64!"})",
        R"({"path": "/a", "pathBytes": "L2I="})",  // "/b": does not match its text
        R"({"path": "/a", "pathBytes": 5})",
        R"({"ignore": ["/a"], "ignoreBytes": {"7": "L2E="}})",
        R"({"ignore": ["/a"], "ignoreBytes": {"x": "L2E="}})",
        R"({"ignore": ["/a"], "ignoreBytes": ["L2E="]})",
    };
    for (const auto* text : documents) {
        const auto document = json::parse(text);
        EXPECT_THROW(document.contains("path") ? (void)json::requireBytes(document, "path")
                                               : (void)json::requireBytesArray(document, "ignore"),
                     json::DecodeError)
            << text;
    }
}

TEST(JsonParse, ANumberTooLargeForAnyTypeIsDamageNotACrash) {
    // Found by the settings fuzzer: the library reports it as out_of_range, not a parse error.
    EXPECT_THROW(json::parse(R"({"retentionDays": 7777777777e+777777})"), json::DecodeError);
}
