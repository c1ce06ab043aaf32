#pragma once

// Strict JSON decoding shared by every file Kelvane reads: a required key that is missing or of
// the wrong JSON type rejects the whole document, an integer field accepts only JSON integers,
// and dates are ISO 8601 UTC with whole seconds and "Z", the one form written and accepted.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Date.h"
#include "support/RawEnum.h"

namespace kelvane::json {

using Json = nlohmann::json;

class DecodeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Parses a whole document; a syntax error becomes a DecodeError.
Json parse(std::string_view text);
// Pretty-printed, object keys sorted (nlohmann's object type is an ordered map by key).
std::string dump(const Json& value);

const Json& requireObject(const Json& value, std::string_view what);
const Json& requireKey(const Json& object, std::string_view key);
std::string requireString(const Json& object, std::string_view key);
std::int64_t requireInt(const Json& object, std::string_view key);
double requireNumber(const Json& object, std::string_view key);
bool requireBool(const Json& object, std::string_view key);
std::vector<std::string> requireStringArray(const Json& object, std::string_view key);
Date requireDate(const Json& object, std::string_view key);

// Optional keys: absent (or null) gives nothing; present with the wrong type still rejects.
std::optional<std::string> optionalString(const Json& object, std::string_view key);
std::optional<std::int64_t> optionalInt(const Json& object, std::string_view key);
std::optional<Date> optionalDate(const Json& object, std::string_view key);

std::int64_t asInt(const Json& value, std::string_view what);
std::string asString(const Json& value, std::string_view what);

template <class E>
E asEnum(const Json& value, std::string_view what) {
    const auto raw = asString(value, what);
    if (auto parsed = fromRawValue<E>(raw)) {
        return *parsed;
    }
    throw DecodeError("“" + raw + "” is not a valid value for " + std::string(what) + ".");
}

template <class E>
E requireEnum(const Json& object, std::string_view key) {
    return asEnum<E>(requireKey(object, key), key);
}

// File names are bytes and need not be UTF-8, which JSON text must be. A text that may hold any
// bytes is written under `key` as readable UTF-8 (each invalid byte shown as U+FFFD) and, only
// when that is not the same bytes, exactly under `key` + "Bytes" in base64. Readers that know
// nothing of the second key still read the first; readers here take the exact bytes.
bool isValidUTF8(std::string_view text);
std::string displayText(std::string_view bytes);
void putBytes(Json& object, const std::string& key, std::string_view bytes);
std::string requireBytes(const Json& object, const std::string& key);
std::optional<std::string> optionalBytes(const Json& object, const std::string& key);
// The same for a list: the exact forms go under `key` + "Bytes" as {"index": base64}.
void putBytesArray(Json& object, const std::string& key, const std::vector<std::string>& list);
std::vector<std::string> requireBytesArray(const Json& object, const std::string& key);

// "2026-12-10T04:36:00Z"; fractions of a second are dropped (floor).
std::string formatDate(Date date);
// Accepts exactly the form formatDate writes.
std::optional<Date> parseDate(std::string_view text);

}  // namespace kelvane::json
