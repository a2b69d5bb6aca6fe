// Flash and NVRAM as the console commands move them: whole ranges read in
// blocks under one progress bar, writes one 16-byte chunk at a time so that a
// differing echo can be named byte by byte, and the flash areas that hold the
// panels, gamma tables and mode table.
#pragma once

#include <string>
#include <vector>

#include "console/console_commands.h"
#include "vantrel.h"

namespace cli::console {

inline constexpr uint32_t kChunk = VANTREL_FLASH_CHUNK;
inline constexpr uint32_t kFlashSize = VANTREL_FLASH_SIZE;
// The register in which the board gives the size of its NVRAM in bytes (0: not given).
inline constexpr uint32_t kNvRamSizeRegister = 0x0002;

const char* MemoryName(Memory m);  // "flash", "NVRAM"

// Reads n bytes from addr on; a message and false when a chunk fails.
bool ReadRange(const BoardTarget& t, Memory m, uint32_t addr, uint32_t n, Bytes& bytes, Output& o);

// Writes the chunks of `image` (which starts at `base`) whose offsets are in
// `offsets`, each at most 16 bytes (the last may be shorter). On a differing
// echo the chunk is read back and every differing byte is named by address.
bool WriteChunks(const BoardTarget& t, Memory m, uint32_t base, const Bytes& image,
                 const std::vector<uint32_t>& offsets, Output& o);

// Reads back the given chunks and compares them with image; the differing
// bytes are named. False on a failed read or any difference.
bool ReadBackChunks(const BoardTarget& t, Memory m, uint32_t base, const Bytes& image,
                    const std::vector<uint32_t>& offsets, Output& o);

// The offsets of every chunk of a range of n bytes.
std::vector<uint32_t> AllChunks(uint32_t n);

// "wrote 0x12, read back 0x34" lines for each differing byte, at most `limit`.
std::vector<std::string> DiffLines(Memory m, uint32_t base, const uint8_t* wrote, const uint8_t* read, std::size_t n);
// The first 32 of those lines on the message stream.
void PrintDiffs(Output& o, const std::vector<std::string>& diffs);

// The panel, gamma and mode areas of flash that [addr, addr + n) touches (none for NVRAM).
std::vector<std::string> ProtectedAreas(Memory m, uint32_t addr, uint32_t n);

// "0x1000..0x100F, 0xFB40..0xFB7F" for chunk offsets (merged where adjacent), at most a few ranges.
std::string Ranges(uint32_t base, const std::vector<uint32_t>& offsets, uint32_t end);

// The size of the memory: 64 KiB of flash; for NVRAM --size when given, else
// the size the board gives, else 0 (unknown). False after a message when
// --size is wrong.
bool MemorySize(const BoardTarget& t, Memory m, const std::string& sizeText, uint32_t& size, Output& o);

}  // namespace cli::console
