// Editing the entries of a ModeTable: the values an engineer typed for one
// entry, their checks, and the moves of whole entries that the mode table
// editor offers (insert in front, delete, swap with a neighbour).
//
// Every operation addresses only slots 0..37, whatever modeCount a table
// read from elsewhere may carry.
#pragma once

#include <cstdint>
#include <vector>

#include "tolvane/records.h"

// One entry as read from the editor's fields, before any check: frequencies
// and their tolerances in tenths, everything else as typed.
struct TypedModeEntry {
    int64_t hFreq = 0;     // 0.1 kHz
    int64_t vFreq = 0;     // 0.1 Hz
    int64_t hFreqTol = 0;  // 0.1 kHz
    int64_t vFreqTol = 0;  // 0.1 Hz
    int64_t hTotal = 0;
    int64_t vTotal = 0;
    int64_t vTotalTol = 0;
    int64_t activeWidth = 0;
    int64_t activeHeight = 0;
    int64_t hStart = 0;
    int64_t vStart = 0;
    unsigned scanType = 0;  // 0..3
    uint8_t enables = 0;    // kEnableAnalog | kEnableDigital | kEnableVideo
};

// The checks of an entry, in the order they are made. Passing every check
// means every value fits its field.
enum class ModeEntryFault {
    None,
    HFreq,          // hFreq not within 100..2000
    VFreq,          // vFreq not within 450..2000
    HFreqTol,       // hFreqTol not within 0..100
    VFreqTol,       // vFreqTol not within 0..200
    HTotal,         // hTotal not within 160..4096
    VTotal,         // vTotal not within 120..2048
    VTotalTol,      // vTotalTol not within 0..100
    Width,          // activeWidth not within 160..4096
    Height,         // activeHeight not within 120..2048
    HStart,         // hStart not within 10..800
    VStart,         // vStart not within 1..200
    NoInput,        // none of the three inputs enabled
    HorizontalSum,  // hStart + activeWidth greater than hTotal
    VerticalSum,    // vStart + activeHeight greater than vTotal
};

// The first failing check, or None.
ModeEntryFault CheckModeEntry(const TypedModeEntry& typed);

// Every failing check, in the order they are made (checks of a whole table
// report all of them; the editor stops at the first).
std::vector<ModeEntryFault> ModeEntryFaults(const TypedModeEntry& typed);

// The editor's message for a fault, letter for letter ("" for None).
const char* ModeEntryFaultMessage(ModeEntryFault fault);
// The ModeEntry field a fault names ("hFreq", "modeFlags", ...; "" for None).
const char* ModeEntryFaultField(ModeEntryFault fault);

// The fields of `entry` as the editor shows them (for reading them back).
TypedModeEntry TypedFromModeEntry(const ModeEntry& entry);

// Writes bytes 0..19 of `entry` from a checked entry; the reserved bytes
// 20..51 are left as they are.
void StoreTypedModeEntry(const TypedModeEntry& typed, ModeEntry& entry);

// The number of entries in use, never more than the 38 slots.
unsigned UsedModeCount(const ModeTable& table);

// Moves entries slot..count-1 up by one slot (the last one first), leaving
// slot free for a new entry; modeCount is not changed. Refused (false) when
// the table is full or slot is not below the count.
bool OpenModeGap(ModeTable& table, unsigned slot);

// Deletes entry `row`: the entries after it move down by one slot, modeCount
// drops by one and the slot the last entry left is cleared. Refused (false)
// when fewer than two entries are in use or row is not one of them.
bool DeleteModeEntry(ModeTable& table, unsigned row);

// Exchanges entries a and b, all 52 bytes of each. Refused (false) unless
// both are entries in use.
bool SwapModeEntries(ModeTable& table, unsigned a, unsigned b);
