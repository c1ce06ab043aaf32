#pragma once

// Property lists, XML or binary, read through libplist into a small value of our own so the
// rest of the core never touches the library's nodes.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kelvane::platform {

struct PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDictionary = std::map<std::string, PlistValue>;

struct PlistValue {
    // Kinds we do not read (data, dates, reals, UIDs) come through as std::monostate.
    std::variant<std::monostate, std::string, bool, std::int64_t, PlistArray, PlistDictionary>
        value;

    const std::string* string() const { return std::get_if<std::string>(&value); }
    const bool* boolean() const { return std::get_if<bool>(&value); }
    const PlistArray* array() const { return std::get_if<PlistArray>(&value); }
    const PlistDictionary* dictionary() const { return std::get_if<PlistDictionary>(&value); }
};

// The top-level dictionary of a property list in either form; nothing when the bytes are no
// property list or their top level is not a dictionary.
std::optional<PlistDictionary> parsePropertyList(const std::string& bytes);
std::optional<PlistDictionary> readPropertyList(const std::string& path);

// Writes a dictionary of strings, booleans, integers and arrays of strings as XML or binary
// (for tests and fixtures). Returns the bytes.
std::string writePropertyList(const PlistDictionary& dictionary, bool binary);

}  // namespace kelvane::platform
