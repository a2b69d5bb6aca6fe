// What the console commands share: numbers as typed (hex or decimal, the
// whole text), the refusal of the broadcast address for commands that wait
// for an answer, asking before a destructive change, SHA-256, and memory
// images on disk.
#pragma once

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

// ParseNumber with a message on err naming what was typed and the range;
// false when the text is refused.
bool ReadNumber(const std::string& text, const char* what, uint32_t max, uint32_t& value, Output& o);

// How a destructive change is confirmed.
struct Consent {
    bool yes = false;          // --yes
    bool interactive = false;  // messages on a terminal and stdin a terminal: ask once
};
// Prints `plan` (what will change) and asks for consent: with --yes it goes
// on, on a terminal it asks once, otherwise it refuses and says to add --yes.
bool Confirm(const std::string& plan, const Consent& c, Output& o);

bool ReadWholeFile(const std::string& path, Bytes& bytes, Output& o);
// Replaces path atomically; a message on err when that fails.
bool SaveFile(const std::string& path, const Bytes& bytes, Output& o);

std::string HexByte(unsigned v);          // "1A"
std::string Hex(unsigned v, int digits);  // "0x01A2"

// i2cdump-like rows of 16 bytes: "00: 00 11 22 ... ff    ..\"3DUfw........"
// firstAddress is the address of bytes[0]; rows start at multiples of 16 and
// bytes outside [firstAddress, firstAddress + n) are shown as blanks.
std::string HexTable(uint32_t firstAddress, const Bytes& bytes, int addressDigits);

}  // namespace cli::console
