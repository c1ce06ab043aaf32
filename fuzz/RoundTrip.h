#pragma once

// What every store decoder promises, checked on any bytes: it either refuses the document with
// a DecodeError or gives records that, written and read back, come out unchanged. Anything
// else — another exception, a crash, a sanitizer report — is a finding.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/Json.h"

namespace kelvane::fuzz {

template <class Record>
void roundTrip(const json::Json& object) {
    Record first;
    try {
        first = Record::fromJson(object);
    } catch (const json::DecodeError&) {
        return;
    }
    const auto again = Record::fromJson(json::parse(json::dump(first.toJson())));
    if (!(again == first)) {
        __builtin_trap();
    }
}

// A document that is one record, or (`list`) a JSON array of them.
template <class Record>
void roundTripDocument(const std::uint8_t* data, std::size_t size, bool list) {
    json::Json document;
    try {
        document = json::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const json::DecodeError&) {
        return;
    }
    if (!list) {
        roundTrip<Record>(document);
    } else if (document.is_array()) {
        for (const auto& object : document) {
            roundTrip<Record>(object);
        }
    }
}

}  // namespace kelvane::fuzz
