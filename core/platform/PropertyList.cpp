#include "platform/PropertyList.h"

#include <plist/plist.h>

#include <cstdlib>

#include "platform/FileIO.h"

namespace kelvane::platform {

namespace {

PlistValue convert(plist_t node, int depth) {
    PlistValue result;
    if (node == nullptr || depth > 64) {
        return result;
    }
    switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            char* text = nullptr;
            plist_get_string_val(node, &text);
            if (text) {
                result.value = std::string(text);
                std::free(text);
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
        plist_from_bin(bytes.data(), length, &root);
    } else {
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
