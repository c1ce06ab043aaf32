#pragma once

#include <cstddef>
#include <functional>

namespace kelvane {

// Boost-style mixing: order-sensitive, so records hash their fields in field order.
template <class T>
void hashCombine(std::size_t& seed, const T& value) {
    seed ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace kelvane
