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

// "2026-12-10T04:36:00Z"; fractions of a second are dropped (floor).
std::string formatDate(Date date);
// Accepts exactly the form formatDate writes.
std::optional<Date> parseDate(std::string_view text);

}  // namespace kelvane::json
