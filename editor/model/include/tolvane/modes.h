// Mode table defaults and the packing between a ModeTable and the board's
// 768-byte big-endian ModeTableImage.
#pragma once

#include <cstdint>

#include "tolvane/records.h"

// The start-up table: magic, headerWord 256, one VGA 640x480 entry in slot 0.
// Slots 1..37 are not written.
void SetModeTableDefaults(ModeTable& table);

// Zeroes all 52 bytes of slot `index`; an index above 37 does nothing.
void ClearModeEntry(ModeTable& table, uint16_t index);

// Packs entries 0..modeCount-1 (never more than 38); the rest of the image is 0.
void ModeTableToImage(const ModeTable& table, ModeTableImage& image);

// Unpacks all 38 board entries into their slots (no compaction), clears the
// reserved bytes and writes the header. modeCount runs up to the last slot
// holding any byte, so that packing the table again gives back the same
// image (bytes 760..767 aside, which are always 0); empty slots before that
// one stay in the table as entries with width or height 0.
void ImageToModeTable(const ModeTableImage& image, ModeTable& table);
