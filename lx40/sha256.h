// SHA-256 (FIPS 180-4) of a byte string, as the record names each table
// by its bytes. Small and portable: the same code in the native and the
// Windows builds.
#ifndef LX40_LX40_SHA256_H
#define LX40_LX40_SHA256_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lx40 {

std::array<uint8_t, 32> Sha256(const uint8_t* data, size_t size);

// The digest as 64 lower-case hex digits.
std::string Sha256Hex(const uint8_t* data, size_t size);

}  // namespace lx40

#endif
