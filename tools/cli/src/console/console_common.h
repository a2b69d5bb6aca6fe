// What the console commands share: numbers as typed (hex or decimal, the
// whole text), asking before a destructive change, the bounded reading of an
// input file, and bytes shown as hex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/board_commands.h"
#include "sha256.h"
#include <nlohmann/json.hpp>

namespace cli::console {

using Bytes = std::vector<uint8_t>;
using Json = nlohmann::ordered_json;

// An unsigned integer typed as decimal ("418") or hex ("0x1A2", "0X1a2"):
// the whole text, no sign, no blanks, at most `max`. Nothing else is read as
// a number, so "12abc", "0x", "-1" and "1e3" are refused.
std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t max);

// ParseNumber with an error naming what was typed and the range; false when
// the text is refused.
bool ReadNumber(const std::string& text, const char* what, uint32_t max, uint32_t& value, Output& o);

// How a destructive change is confirmed.
struct Consent {
    bool yes = false;          // --yes
    bool interactive = false;  // messages on a terminal and stdin a terminal: ask once
};
// Shows `plan` (what will change; its lines are hidden under --quiet) and
// asks for consent: with --yes it goes on; on a terminal it shows the plan,
// --quiet or not, and asks once; otherwise it refuses and says to add --yes.
bool Confirm(const std::string& plan, const Consent& c, Output& o);

// The bytes of the regular file `path`, at most `limit` of them; never waits
// on a FIFO or a device. False after an error that names the system's reason.
bool ReadInput(const std::string& path, std::size_t limit, Bytes& bytes, Output& o);

std::string HexByte(unsigned v);          // "1a"
std::string Hex(unsigned v, int digits);  // "0x01A2"

// i2cdump-like rows of 16 bytes: "00: 00 11 22 ... ff    ..\"3DUfw........"
// firstAddress is the address of bytes[0]; rows start at multiples of 16 and
// bytes outside [firstAddress, firstAddress + n) are shown as blanks.
std::string HexTable(uint32_t firstAddress, const Bytes& bytes, int addressDigits);

}  // namespace cli::console
