// SHA-256 (FIPS 180-4), fed in pieces, so that a file of any size is hashed in bounded
// memory while it is read.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kit {

class Sha256 {
public:
    Sha256();
    void update(std::string_view bytes);
    // The digest as 64 lower-case hexadecimal digits; the object is spent afterwards.
    std::string hexDigest();

private:
    void block(const unsigned char* p);
    std::array<std::uint32_t, 8> state_;
    std::array<unsigned char, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};

}  // namespace kit
