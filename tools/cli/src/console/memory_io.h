// Flash and NVRAM as the console commands move them: whole ranges read in
// blocks under one progress bar, writes one 16-byte chunk at a time so that a
// differing echo can be named byte by byte and a write can stop between two
// chunks, the flash areas that hold the panels, gamma tables and mode table,
// and the result of a command as text or JSON.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "console/console_commands.h"
#include "vantrel.h"

namespace cli::console {

inline constexpr uint32_t kChunk = VANTREL_FLASH_CHUNK;
inline constexpr uint32_t kFlashSize = VANTREL_FLASH_SIZE;
// The register in which the board gives the size of its NVRAM in bytes (0: not given).
inline constexpr uint32_t kNvRamSizeRegister = 0x0002;

const char* MemoryName(Memory m);                     // "flash", "NVRAM"
std::string CommandName(Memory m, const char* verb);  // "flash write"

// "0x0000..0x1FFF": the addresses [first, first + n).
std::string Span(uint32_t first, uint64_t n);

// True when [addr, addr + n) lies inside a memory of `size` bytes (0: not
// known, the 64 KiB address space); otherwise an error naming the range.
bool InRange(Memory m, uint32_t addr, uint64_t n, uint32_t size, Output& o);

// The size of the memory: 64 KiB of flash; for NVRAM the size the board
// gives (0 when it gives none). 0, or 1 after an error when the board does
// not answer.
int MemorySize(const BoardTarget& t, Memory m, uint32_t& size, Output& o);

// Reads n bytes from addr on; a message and false when a chunk fails.
bool ReadRange(const BoardTarget& t, Memory m, uint32_t addr, uint32_t n, Bytes& bytes, Output& o);

// How far a write of chunks came.
struct ChunkWrite {
    std::size_t confirmed = 0;  // chunks the board confirmed, from the first on
    int result = 0;             // 0, or the library's result for chunk `confirmed` (-1 no answer, -2 echo differs)
    bool interrupted = false;   // stopped by Ctrl-C before chunk `confirmed`
};

// Writes the chunks of `image` (which starts at `base`) whose offsets are in
// `offsets`, each at most 16 bytes (the last may be shorter), asking `stop`
// before each one. On a differing echo the chunk is read back and every
// differing byte is named by address. True when every chunk was confirmed.
bool WriteChunks(const BoardTarget& t, Memory m, uint32_t base, const Bytes& image,
                 const std::vector<uint32_t>& offsets, const std::function<bool()>& stop, ChunkWrite& done, Output& o);

// What a read-back found.
enum class ReadBack { Same, Differs, Unread };

// Reads back the given chunks (or, with every offset, the whole image) and
// compares them with image; the differing bytes are named.
ReadBack ReadBackChunks(const BoardTarget& t, Memory m, uint32_t base, const Bytes& image,
                        const std::vector<uint32_t>& offsets, Output& o);

// The offsets of every chunk of a range of n bytes.
std::vector<uint32_t> AllChunks(uint32_t n);
// The offsets of the chunks in which `image` and `now` (the same size) differ.
std::vector<uint32_t> DifferingChunks(const Bytes& image, const Bytes& now);

// "flash 0x0113: wrote 0x11, read back 0xEE" for each differing byte.
std::vector<std::string> DiffLines(Memory m, uint32_t base, const uint8_t* wrote, const uint8_t* read, std::size_t n);
// The first 32 of those lines as errors.
void PrintDiffs(Output& o, const std::vector<std::string>& diffs);

// The panel, gamma and mode areas of flash that [addr, addr + n) touches (none for NVRAM).
std::vector<std::string> ProtectedAreas(Memory m, uint32_t addr, uint32_t n);
// The same for the chunks at `offsets` of a range of n bytes at base, each named once.
std::vector<std::string> ProtectedAreas(Memory m, uint32_t base, const std::vector<uint32_t>& offsets, uint32_t n);

// "0x1000..0x100F, 0xFB40..0xFB7F" for chunk offsets (merged where adjacent), at most a few ranges.
std::string Ranges(uint32_t base, const std::vector<uint32_t>& offsets, uint32_t end);

// The JSON result of a command that moved `bytes` at addr; "file" as shown.
Json MemoryJson(Memory m, uint32_t addr, const Bytes& bytes, const std::string& file);
// "SHA-256  FILE" on standard output (nothing under --json); for "-" a note.
void PrintSha(Output& o, const Bytes& bytes, const std::string& file);

}  // namespace cli::console
