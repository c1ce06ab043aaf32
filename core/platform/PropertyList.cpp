#include "platform/PropertyList.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>

#include "platform/FileIO.h"

namespace kelvane::platform {

namespace {

std::uint64_t readBigEndian(const std::string& bytes, std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// Whether a binary property list hides a NUL inside a string or key, or has an object table
// that points outside itself. The library keeps such strings with a length that disagrees
// with their text and then aborts the process on reading them, so they are refused first.
bool binaryHidesNul(const std::string& bytes) {
    constexpr std::size_t header = 8;
    constexpr std::size_t trailer = 32;
    if (bytes.size() < header + trailer) {
        return true;
    }
    const std::size_t end = bytes.size() - trailer;
    const auto offsetSize = static_cast<std::size_t>(static_cast<unsigned char>(bytes[end + 6]));
    const auto objects = readBigEndian(bytes, end + 8, 8);
    const auto table = readBigEndian(bytes, end + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || table > end || objects > (end - table) / offsetSize) {
        return true;
    }
    for (std::uint64_t i = 0; i < objects; ++i) {
        const auto at =
            readBigEndian(bytes, static_cast<std::size_t>(table + i * offsetSize), offsetSize);
        if (at < header || at >= end) {
            return true;
        }
        const auto marker = static_cast<unsigned char>(bytes[at]);
        const unsigned kind = marker >> 4;
        if (kind != 0x5 && kind != 0x6) {  // ASCII and UTF-16 strings (keys are strings too)
            continue;
        }
        std::uint64_t count = marker & 0x0F;
        std::size_t start = at + 1;
        if (count == 0x0F) {  // the length follows as an integer object
            if (start >= end) {
                return true;
            }
            const auto intMarker = static_cast<unsigned char>(bytes[start]);
            const std::size_t intSize = std::size_t{1} << (intMarker & 0x0F);
            if ((intMarker >> 4) != 0x1 || intSize > 8 || start + 1 + intSize > end) {
                return true;
            }
            count = readBigEndian(bytes, start + 1, intSize);
            start += 1 + intSize;
        }
        const std::uint64_t unit = kind == 0x6 ? 2 : 1;
        if (count > (end - start) / unit) {
            return true;
        }
        for (std::uint64_t k = 0; k < count; ++k) {
            const auto at2 = start + static_cast<std::size_t>(k * unit);
            const bool zero =
                unit == 1 ? bytes[at2] == '\0' : bytes[at2] == '\0' && bytes[at2 + 1] == '\0';
            if (zero) {
                return true;
            }
        }
    }
    return false;
}

// The same for XML: a NUL byte, or a character reference to NUL (&#0; &#x00; …).
bool xmlHidesNul(const std::string& bytes) {
    if (bytes.find('\0') != std::string::npos) {
        return true;
    }
    for (auto at = bytes.find("&#"); at != std::string::npos; at = bytes.find("&#", at + 2)) {
        auto i = at + 2;
        if (i < bytes.size() && (bytes[i] == 'x' || bytes[i] == 'X')) {
            ++i;
        }
        const auto digits = i;
        while (i < bytes.size() && bytes[i] == '0') {
            ++i;
        }
        if (i > digits && i < bytes.size() && bytes[i] == ';') {
            return true;
        }
    }
    return false;
}

PlistValue convert(plist_t node, int depth) {
    PlistValue result;
    if (node == nullptr || depth > 64) {
        return result;
    }
    switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            // By pointer and length: the copying getter aborts on a length it disagrees with.
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            if (text != nullptr && std::memchr(text, '\0', length) == nullptr) {
                result.value = std::string(text, length);
            }
            break;
        }
        case PLIST_BOOLEAN: {
            uint8_t flag = 0;
            plist_get_bool_val(node, &flag);
            result.value = flag != 0;
            break;
        }
        case PLIST_UINT: {
            uint64_t number = 0;
            plist_get_uint_val(node, &number);
            result.value = static_cast<std::int64_t>(number);
            break;
        }
        case PLIST_ARRAY: {
            PlistArray array;
            const auto count = plist_array_get_size(node);
            for (uint32_t i = 0; i < count; ++i) {
                array.push_back(convert(plist_array_get_item(node, i), depth + 1));
            }
            result.value = std::move(array);
            break;
        }
        case PLIST_DICT: {
            PlistDictionary dictionary;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            for (;;) {
                char* key = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(node, it, &key, &item);
                if (key == nullptr) {
                    break;
                }
                dictionary.emplace(key, convert(item, depth + 1));
                std::free(key);
            }
            std::free(it);
            result.value = std::move(dictionary);
            break;
        }
        default:
            break;
    }
    return result;
}

plist_t toNode(const PlistValue& value) {
    if (const auto* text = value.string()) {
        return plist_new_string(text->c_str());
    }
    if (const auto* flag = value.boolean()) {
        return plist_new_bool(*flag ? 1 : 0);
    }
    if (const auto* number = std::get_if<std::int64_t>(&value.value)) {
        return plist_new_uint(static_cast<uint64_t>(*number));
    }
    if (const auto* array = value.array()) {
        plist_t node = plist_new_array();
        for (const auto& item : *array) {
            plist_array_append_item(node, toNode(item));
        }
        return node;
    }
    if (const auto* dictionary = value.dictionary()) {
        plist_t node = plist_new_dict();
        for (const auto& [key, item] : *dictionary) {
            plist_dict_set_item(node, key.c_str(), toNode(item));
        }
        return node;
    }
    return plist_new_string("");
}

}  // namespace

std::optional<PlistDictionary> parsePropertyList(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > (64u << 20)) {
        return std::nullopt;
    }
    plist_t root = nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    if (plist_is_binary(bytes.data(), length)) {
        if (binaryHidesNul(bytes)) {
            return std::nullopt;
        }
        plist_from_bin(bytes.data(), length, &root);
    } else {
        if (xmlHidesNul(bytes)) {
            return std::nullopt;
        }
        plist_from_xml(bytes.data(), length, &root);
    }
    if (root == nullptr) {
        return std::nullopt;
    }
    std::optional<PlistDictionary> result;
    if (plist_get_node_type(root) == PLIST_DICT) {
        result = std::move(*convert(root, 0).dictionary());
    }
    plist_free(root);
    return result;
}

std::optional<PlistDictionary> readPropertyList(const std::string& path) {
    try {
        return parsePropertyList(readFile(path));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string writePropertyList(const PlistDictionary& dictionary, bool binary) {
    plist_t root = toNode(PlistValue{dictionary});
    char* data = nullptr;
    uint32_t length = 0;
    if (binary) {
        plist_to_bin(root, &data, &length);
    } else {
        plist_to_xml(root, &data, &length);
    }
    std::string bytes(data ? data : "", length);
    std::free(data);
    plist_free(root);
    return bytes;
}

}  // namespace kelvane::platform
