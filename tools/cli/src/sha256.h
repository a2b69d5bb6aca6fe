// SHA-256 of a byte string, as lowercase hex: what was read or written, named by its hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cli {

std::string Sha256Hex(const uint8_t* data, std::size_t size);

}  // namespace cli
