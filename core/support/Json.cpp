#include "support/Json.h"

#include <glib.h>

#include <charconv>
#include <cstdio>
#include <limits>

#include "support/Utf8.h"

namespace kelvane::json {

namespace {

std::string keyText(std::string_view key) {
    return "“" + std::string(key) + "”";
}

std::string base64(std::string_view bytes) {
    gchar* text = g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
    std::string result(text);
    g_free(text);
    return result;
}

std::string fromBase64(const std::string& text, std::string_view key) {
    // GLib decodes leniently; a round trip proves the text was canonical base64.
    gsize length = 0;
    guchar* data = g_base64_decode(text.c_str(), &length);
    std::string bytes(reinterpret_cast<const char*>(data), length);
    g_free(data);
    if (base64(bytes) != text) {
        throw DecodeError("The value of " + keyText(key) + " is not base64.");
    }
    return bytes;
}

// The exact bytes behind a display text: the "Bytes" form when present, else the text.
std::string exact(const std::string& display, const std::string& encoded, std::string_view key) {
    auto bytes = fromBase64(encoded, key);
    if (displayText(bytes) != display) {
        throw DecodeError("The value of " + keyText(key) + " does not match its text.");
    }
    return bytes;
}

}  // namespace

bool isValidUTF8(std::string_view text) {
    return utf8::isValid(text);
}

std::string displayText(std::string_view bytes) {
    return utf8::readable(bytes);
}

void putBytes(Json& object, const std::string& key, std::string_view bytes) {
    object[key] = displayText(bytes);
    if (!isValidUTF8(bytes)) {
        object[key + "Bytes"] = base64(bytes);
    }
}

std::string requireBytes(const Json& object, const std::string& key) {
    const auto display = requireString(object, key);
    if (const auto encoded = optionalString(object, key + "Bytes")) {
        return exact(display, *encoded, key + "Bytes");
    }
    return display;
}

std::optional<std::string> optionalBytes(const Json& object, const std::string& key) {
    if (!object.contains(key) || object.at(key).is_null()) {
        return std::nullopt;
    }
    return requireBytes(object, key);
}

void putBytesArray(Json& object, const std::string& key, const std::vector<std::string>& list) {
    auto texts = Json::array();
    auto exactForms = Json::object();
    for (std::size_t i = 0; i < list.size(); ++i) {
        texts.push_back(displayText(list[i]));
        if (!isValidUTF8(list[i])) {
            exactForms[std::to_string(i)] = base64(list[i]);
        }
    }
    object[key] = texts;
    if (!exactForms.empty()) {
        object[key + "Bytes"] = exactForms;
    }
}

std::vector<std::string> requireBytesArray(const Json& object, const std::string& key) {
    auto list = requireStringArray(object, key);
    const auto it = object.find(key + "Bytes");
    if (it == object.end() || it->is_null()) {
        return list;
    }
    if (!it->is_object()) {
        throw DecodeError("The value of " + keyText(key + "Bytes") + " is not an object.");
    }
    for (const auto& [index, encoded] : it->items()) {
        std::size_t at = 0;
        const auto [end, problem] = std::from_chars(index.data(), index.data() + index.size(), at);
        if (problem != std::errc{} || end != index.data() + index.size() || at >= list.size()) {
            throw DecodeError("The value of " + keyText(key + "Bytes") + " names no entry.");
        }
        list[at] = exact(list[at], asString(encoded, key + "Bytes"), key + "Bytes");
    }
    return list;
}

Json parse(std::string_view text) {
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const Json::exception&) {
        // A syntax error, or a number too large for any type (out_of_range).
        throw DecodeError("The file is not valid JSON.");
    }
}

std::string dump(const Json& value) {
    // Invalid UTF-8 (a path name, say) is replaced rather than making the whole save fail.
    return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

const Json& requireObject(const Json& value, std::string_view what) {
    if (!value.is_object()) {
        throw DecodeError(std::string(what) + " is not a JSON object.");
    }
    return value;
}

const Json& requireKey(const Json& object, std::string_view key) {
    if (!object.is_object()) {
        throw DecodeError("Expected an object holding " + keyText(key) + ".");
    }
    const auto it = object.find(key);
    if (it == object.end()) {
        throw DecodeError("The key " + keyText(key) + " is missing.");
    }
    return *it;
}

std::string asString(const Json& value, std::string_view what) {
    if (!value.is_string()) {
        throw DecodeError("The value of " + keyText(what) + " is not a string.");
    }
    return value.get<std::string>();
}

std::int64_t asInt(const Json& value, std::string_view what) {
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            throw DecodeError("The value of " + keyText(what) + " is too large.");
        }
        return static_cast<std::int64_t>(v);
    }
    if (value.is_number_integer()) {
        return value.get<std::int64_t>();
    }
    throw DecodeError("The value of " + keyText(what) + " is not an integer.");
}

std::string requireString(const Json& object, std::string_view key) {
    return asString(requireKey(object, key), key);
}

std::int64_t requireInt(const Json& object, std::string_view key) {
    return asInt(requireKey(object, key), key);
}

double requireNumber(const Json& object, std::string_view key) {
    const auto& value = requireKey(object, key);
    if (!value.is_number()) {
        throw DecodeError("The value of " + keyText(key) + " is not a number.");
    }
    return value.get<double>();
}

bool requireBool(const Json& object, std::string_view key) {
    const auto& value = requireKey(object, key);
    if (!value.is_boolean()) {
        throw DecodeError("The value of " + keyText(key) + " is not true or false.");
    }
    return value.get<bool>();
}

std::vector<std::string> requireStringArray(const Json& object, std::string_view key) {
    const auto& value = requireKey(object, key);
    if (!value.is_array()) {
        throw DecodeError("The value of " + keyText(key) + " is not a list.");
    }
    std::vector<std::string> result;
    result.reserve(value.size());
    for (const auto& element : value) {
        result.push_back(asString(element, key));
    }
    return result;
}

Date requireDate(const Json& object, std::string_view key) {
    const auto text = requireString(object, key);
    if (auto date = parseDate(text)) {
        return *date;
    }
    throw DecodeError("The value of " + keyText(key) + " is not a date.");
}

namespace {

const Json* presentValue(const Json& object, std::string_view key) {
    if (!object.is_object()) {
        throw DecodeError("Expected an object holding " + keyText(key) + ".");
    }
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return nullptr;
    }
    return &*it;
}

}  // namespace

std::optional<std::string> optionalString(const Json& object, std::string_view key) {
    if (const auto* value = presentValue(object, key)) {
        return asString(*value, key);
    }
    return std::nullopt;
}

std::optional<std::int64_t> optionalInt(const Json& object, std::string_view key) {
    if (const auto* value = presentValue(object, key)) {
        return asInt(*value, key);
    }
    return std::nullopt;
}

std::optional<Date> optionalDate(const Json& object, std::string_view key) {
    if (!presentValue(object, key)) {
        return std::nullopt;
    }
    return requireDate(object, key);
}

std::string formatDate(Date date) {
    using namespace std::chrono;
    const auto secs = floor<seconds>(date);
    const auto dayPoint = floor<days>(secs);
    const year_month_day ymd{dayPoint};
    const hh_mm_ss hms{secs - dayPoint};
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(hms.hours().count()),
                  int(hms.minutes().count()), int(hms.seconds().count()));
    return buffer;
}

std::optional<Date> parseDate(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SSZ, nothing more and nothing less.
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return std::nullopt;
    }
    auto number = [&](std::size_t at, std::size_t length) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return std::nullopt;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const auto y = number(0, 4), mo = number(5, 2), d = number(8, 2);
    const auto h = number(11, 2), mi = number(14, 2), s = number(17, 2);
    if (!y || !mo || !d || !h || !mi || !s || *h > 23 || *mi > 59 || *s > 59) {
        return std::nullopt;
    }
    using namespace std::chrono;
    const year_month_day ymd{year{*y}, month{static_cast<unsigned>(*mo)},
                             day{static_cast<unsigned>(*d)}};
    if (!ymd.ok()) {
        return std::nullopt;
    }
    const auto point = sys_days{ymd} + hours{*h} + minutes{*mi} + seconds{*s};
    return time_point_cast<microseconds>(point);
}

}  // namespace kelvane::json
