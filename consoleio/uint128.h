// Unsigned 128-bit integers, for the exact decimal arithmetic of the numeric conversions:
// the input's decimal to binary and the output's binary to decimal digits.
#pragma once

#include <bit>
#include <cstdint>

using UInt128 = unsigned __int128;

// The number of bits up to and including the highest set bit (0 for 0).
inline int bitLength(UInt128 value) {
    const auto high = static_cast<std::uint64_t>(value >> 64);
    if (high != 0) return 128 - std::countl_zero(high);
    return 64 - std::countl_zero(static_cast<std::uint64_t>(value));
}
