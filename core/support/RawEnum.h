#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace kelvane {

// Each enumeration stored as text specialises this with its cases in declaration order:
//   template <> struct EnumCases<X> { static constexpr std::array table{ std::pair{X::a, "a"sv},
//   ... }; };
template <class E>
struct EnumCases;

template <class E>
constexpr std::string_view rawValue(E value) {
    for (const auto& [c, raw] : EnumCases<E>::table) {
        if (c == value) {
            return raw;
        }
    }
    return {};
}

// The case whose raw value equals `raw` exactly (case-sensitive), or nothing.
template <class E>
constexpr std::optional<E> fromRawValue(std::string_view raw) {
    for (const auto& [c, text] : EnumCases<E>::table) {
        if (text == raw) {
            return c;
        }
    }
    return std::nullopt;
}

template <class E>
constexpr auto allCases() {
    constexpr auto& table = EnumCases<E>::table;
    std::array<E, table.size()> cases{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        cases[i] = table[i].first;
    }
    return cases;
}

}  // namespace kelvane
