// Panel record defaults, the resolution normalisation, and the packing
// between a PanelRecord and the board's 64-byte big-endian PanelImage.
#pragma once

#include <cstdint>

#include "tolvane/records.h"

// Byte-order helpers (pure functions).
uint8_t LowByte(uint32_t value);    // low 8 bits
uint16_t WidenByte(uint8_t value);  // zero-extended to 16 bits
uint16_t Swap16(uint16_t value);    // 0x1234 -> 0x3412
uint32_t Swap32(uint32_t value);    // b0 b1 b2 b3 -> b3 b2 b1 b0

// Fills the defaults of a 1x18-bit XGA panel. Bytes 11..25 of displayName,
// powerOnT1..powerOffT4 and resolutionFlags keep what the record held.
void SetPanelDefaults(PanelRecord& record);

// Derives hResolution/vResolution (unless customResolution is set) and
// resolutionCodeA/B from the resolution class. A class of 0 or with several
// bits set leaves the fields alone.
void ApplyResolutionClass(PanelRecord& record);

// The KESA id that goes to the board: kesaId itself, or when it is 0 the
// default for the record's width (640:5, 800:7, 1024:12 dual/6 single, 1280:1).
uint16_t EffectiveKesaId(const PanelRecord& record);

// Packs a copy of `record` into `image` (every byte of it is written; the
// unused bytes are 0). When useGamma is set the gamma table is copied into
// `gammaOut`, otherwise `gammaOut` is left untouched. `record` never changes.
void PanelRecordToImage(const PanelRecord& record, PanelImage& image, GammaTable& gammaOut);

// Unpacks `image` into `record`. resolutionFlags keeps its value; gammaTable
// is taken from `gamma` only when the image says useGamma.
void ImageToPanelRecord(const PanelImage& image, const GammaTable& gamma, PanelRecord& record);

// True when the first eight bytes are "VANTRL2" in any letter case plus NUL.
bool HasRecordMagic(const char magic[8]);
