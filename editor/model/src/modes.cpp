#include "tolvane/modes.h"

#include <cstring>

#include "byte_io.h"

using namespace byte_io;
namespace mi = mode_image;

void SetModeTableDefaults(ModeTable& table) {
    std::memcpy(table.magic, kRecordMagic, sizeof table.magic);
    table.headerWord = 256;
    table.modeCount = 1;

    ModeEntry& vga = table.entries[0];
    vga.hFreq = 315;    // 31.5 kHz
    vga.hFreqTol = 10;  // 1.0 kHz
    vga.vFreq = 599;    // 59.9 Hz
    vga.vFreqTol = 10;  // 1.0 Hz
    vga.vTotal = 525;
    vga.vTotalTol = 4;
    vga.hTotal = 800;
    vga.activeWidth = 640;
    vga.activeHeight = 480;
    vga.hStart = 141;
    vga.vStart = 25;
    vga.modeFlags = kEnableAnalog | kEnableDigital;  // scan type 0 "Normal"
    std::memset(vga.reserved, 0, sizeof vga.reserved);

    std::memset(table.reserved, 0, sizeof table.reserved);
    // Slots 1..37 are left as they are (zero in a fresh table).
}

void ClearModeEntry(ModeTable& table, uint16_t index) {
    if (index >= kMaxModes) return;
    std::memset(&table.entries[index], 0, sizeof(ModeEntry));
}

static void PackEntry(const ModeEntry& e, uint8_t* b) {
    PutBE16(b + mi::kHFreq, e.hFreq);
    b[mi::kHFreqTol] = e.hFreqTol;
    PutBE16(b + mi::kVFreq, e.vFreq);
    b[mi::kVFreqTol] = e.vFreqTol;
    PutBE16(b + mi::kVTotal, e.vTotal);
    b[mi::kVTotalTol] = e.vTotalTol;
    PutBE16(b + mi::kHTotal, e.hTotal);
    PutBE16(b + mi::kActiveWidth, e.activeWidth);
    PutBE16(b + mi::kActiveHeight, e.activeHeight);
    PutBE16(b + mi::kHStart, e.hStart);
    PutBE16(b + mi::kVStart, e.vStart);
    b[mi::kModeFlags] = e.modeFlags;
}

static void UnpackEntry(const uint8_t* b, ModeEntry& e) {
    e.hFreq = GetBE16(b + mi::kHFreq);
    e.hFreqTol = b[mi::kHFreqTol];
    e.vFreq = GetBE16(b + mi::kVFreq);
    e.vFreqTol = b[mi::kVFreqTol];
    e.vTotal = GetBE16(b + mi::kVTotal);
    e.vTotalTol = b[mi::kVTotalTol];
    e.hTotal = GetBE16(b + mi::kHTotal);
    e.activeWidth = GetBE16(b + mi::kActiveWidth);
    e.activeHeight = GetBE16(b + mi::kActiveHeight);
    e.hStart = GetBE16(b + mi::kHStart);
    e.vStart = GetBE16(b + mi::kVStart);
    e.modeFlags = b[mi::kModeFlags];
    std::memset(e.reserved, 0, sizeof e.reserved);
}

void ModeTableToImage(const ModeTable& table, ModeTableImage& image) {
    // The board holds 38 entries; a larger count never reaches past them.
    const unsigned n = table.modeCount < kMaxModes ? table.modeCount : kMaxModes;
    std::memset(image.bytes, 0, sizeof image.bytes);  // empty slots and the trailer
    for (unsigned i = 0; i < n; ++i) PackEntry(table.entries[i], image.bytes + i * mi::kEntrySize);
}

static bool BoardEntryHoldsData(const uint8_t* b) {
    for (std::size_t k = 0; k < mi::kEntrySize; ++k)
        if (b[k] != 0) return true;
    return false;
}

void ImageToModeTable(const ModeTableImage& image, ModeTable& table) {
    // The count reaches up to the last slot that holds any byte, empty slots
    // before it included. Packing sends only the counted slots, so counting
    // just the used ones would erase every entry behind an empty slot from
    // the board at the next write of an unchanged table.
    uint16_t count = 0;
    for (unsigned i = 0; i < kMaxModes; ++i) {
        const uint8_t* board = image.bytes + i * mi::kEntrySize;
        UnpackEntry(board, table.entries[i]);
        if (BoardEntryHoldsData(board)) count = static_cast<uint16_t>(i + 1);
    }
    table.modeCount = count;
    std::memset(table.reserved, 0, sizeof table.reserved);
    table.headerWord = 256;
    std::memcpy(table.magic, kRecordMagic, sizeof table.magic);
}
