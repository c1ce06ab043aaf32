#pragma once

// Byte counts add up without overflowing: a damaged store can claim any size, and a sum that
// wrapped around would turn into a negative or tiny figure. Past the largest value it stays
// there.

#include <cstdint>
#include <limits>

namespace kelvane {

inline constexpr std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    }
    return sum;
}

inline constexpr std::int64_t saturatingMultiply(std::int64_t a, std::int64_t b) {
    std::int64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) {
        return (a < 0) == (b < 0) ? std::numeric_limits<std::int64_t>::max()
                                  : std::numeric_limits<std::int64_t>::min();
    }
    return product;
}

}  // namespace kelvane
