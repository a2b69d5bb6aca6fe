#include "tolvane/mode_editing.h"

#include <cstring>

#include "tolvane/modes.h"

namespace {

bool Within(int64_t value, int64_t low, int64_t high) { return value >= low && value <= high; }

}  // namespace

ModeEntryFault CheckModeEntry(const TypedModeEntry& t) {
    using F = ModeEntryFault;
    if (!Within(t.hFreq, 100, 2000)) return F::HFreq;
    if (!Within(t.vFreq, 450, 2000)) return F::VFreq;
    if (!Within(t.hFreqTol, 0, 100)) return F::HFreqTol;
    if (!Within(t.vFreqTol, 0, 200)) return F::VFreqTol;
    if (!Within(t.hTotal, 160, 4096)) return F::HTotal;
    if (!Within(t.vTotal, 120, 2048)) return F::VTotal;
    if (!Within(t.vTotalTol, 0, 100)) return F::VTotalTol;
    if (!Within(t.activeWidth, 160, 4096)) return F::Width;
    if (!Within(t.activeHeight, 120, 2048)) return F::Height;
    if (!Within(t.hStart, 10, 800)) return F::HStart;
    if (!Within(t.vStart, 1, 200)) return F::VStart;
    if ((t.enables & kEnableMask) == 0) return F::NoInput;
    // The single ranges above keep these sums far from overflowing.
    if (t.hStart + t.activeWidth > t.hTotal) return F::HorizontalSum;
    if (t.vStart + t.activeHeight > t.vTotal) return F::VerticalSum;
    return F::None;
}

TypedModeEntry TypedFromModeEntry(const ModeEntry& e) {
    TypedModeEntry t;
    t.hFreq = e.hFreq;
    t.vFreq = e.vFreq;
    t.hFreqTol = e.hFreqTol;
    t.vFreqTol = e.vFreqTol;
    t.hTotal = e.hTotal;
    t.vTotal = e.vTotal;
    t.vTotalTol = e.vTotalTol;
    t.activeWidth = e.activeWidth;
    t.activeHeight = e.activeHeight;
    t.hStart = e.hStart;
    t.vStart = e.vStart;
    t.scanType = ScanType(e);
    t.enables = e.modeFlags & kEnableMask;
    return t;
}

void StoreTypedModeEntry(const TypedModeEntry& t, ModeEntry& e) {
    // The checks have bounded every value to its field's width.
    e.hFreq = static_cast<uint16_t>(t.hFreq);
    e.hFreqTol = static_cast<uint8_t>(t.hFreqTol);
    e.vFreq = static_cast<uint16_t>(t.vFreq);
    e.vFreqTol = static_cast<uint8_t>(t.vFreqTol);
    e.vTotal = static_cast<uint16_t>(t.vTotal);
    e.vTotalTol = static_cast<uint8_t>(t.vTotalTol);
    e.hTotal = static_cast<uint16_t>(t.hTotal);
    e.activeWidth = static_cast<uint16_t>(t.activeWidth);
    e.activeHeight = static_cast<uint16_t>(t.activeHeight);
    e.hStart = static_cast<uint16_t>(t.hStart);
    e.vStart = static_cast<uint16_t>(t.vStart);
    e.modeFlags = static_cast<uint8_t>((t.scanType & kScanTypeMask) | (t.enables & kEnableMask));
}

unsigned UsedModeCount(const ModeTable& table) {
    return table.modeCount < kMaxModes ? table.modeCount : kMaxModes;
}

bool OpenModeGap(ModeTable& table, unsigned slot) {
    const unsigned count = UsedModeCount(table);
    if (count >= kMaxModes || slot >= count) return false;
    for (unsigned i = count; i > slot; --i)
        std::memcpy(&table.entries[i], &table.entries[i - 1], sizeof(ModeEntry));
    return true;
}

bool DeleteModeEntry(ModeTable& table, unsigned row) {
    const unsigned count = UsedModeCount(table);
    if (count < 2 || row >= count) return false;
    for (unsigned i = row + 1; i < count; ++i)
        std::memcpy(&table.entries[i - 1], &table.entries[i], sizeof(ModeEntry));
    table.modeCount = static_cast<uint16_t>(count - 1);
    ClearModeEntry(table, table.modeCount);
    return true;
}

bool SwapModeEntries(ModeTable& table, unsigned a, unsigned b) {
    const unsigned count = UsedModeCount(table);
    if (a >= count || b >= count) return false;
    ModeEntry kept;
    std::memcpy(&kept, &table.entries[a], sizeof(ModeEntry));
    std::memcpy(&table.entries[a], &table.entries[b], sizeof(ModeEntry));
    std::memcpy(&table.entries[b], &kept, sizeof(ModeEntry));
    return true;
}
