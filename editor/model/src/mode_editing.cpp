#include "tolvane/mode_editing.h"

#include <cstring>

#include "tolvane/modes.h"

namespace {

bool Within(int64_t value, int64_t low, int64_t high) { return value >= low && value <= high; }

}  // namespace

std::vector<ModeEntryFault> ModeEntryFaults(const TypedModeEntry& t) {
    using F = ModeEntryFault;
    std::vector<F> faults;
    auto fail = [&](bool failed, F fault) {
        if (failed) faults.push_back(fault);
    };
    fail(!Within(t.hFreq, 100, 2000), F::HFreq);
    fail(!Within(t.vFreq, 450, 2000), F::VFreq);
    fail(!Within(t.hFreqTol, 0, 100), F::HFreqTol);
    fail(!Within(t.vFreqTol, 0, 200), F::VFreqTol);
    fail(!Within(t.hTotal, 160, 4096), F::HTotal);
    fail(!Within(t.vTotal, 120, 2048), F::VTotal);
    fail(!Within(t.vTotalTol, 0, 100), F::VTotalTol);
    fail(!Within(t.activeWidth, 160, 4096), F::Width);
    fail(!Within(t.activeHeight, 120, 2048), F::Height);
    fail(!Within(t.hStart, 10, 800), F::HStart);
    fail(!Within(t.vStart, 1, 200), F::VStart);
    fail((t.enables & kEnableMask) == 0, F::NoInput);
    // Typed values are int64_t read with saturation; the sums are compared
    // only when each part lies within its range, so they cannot overflow.
    const bool horizontalInRange = Within(t.hStart, 10, 800) && Within(t.activeWidth, 160, 4096);
    const bool verticalInRange = Within(t.vStart, 1, 200) && Within(t.activeHeight, 120, 2048);
    fail(horizontalInRange && t.hStart + t.activeWidth > t.hTotal, F::HorizontalSum);
    fail(verticalInRange && t.vStart + t.activeHeight > t.vTotal, F::VerticalSum);
    return faults;
}

ModeEntryFault CheckModeEntry(const TypedModeEntry& t) {
    const std::vector<ModeEntryFault> faults = ModeEntryFaults(t);
    return faults.empty() ? ModeEntryFault::None : faults.front();
}

const char* ModeEntryFaultMessage(ModeEntryFault fault) {
    using F = ModeEntryFault;
    switch (fault) {
        case F::None:
            return "";
        case F::HFreq:
            return "ERROR: Unvalid horizontal frequency !";
        case F::VFreq:
            return "ERROR: Unvalid vertical frequency !";
        case F::HFreqTol:
            return "ERROR: Unvalid horizontal freq. tolerance !";
        case F::VFreqTol:
            return "ERROR: Unvalid vertical freq. tolerance !";
        case F::HTotal:
            return "ERROR: Unvalid horizontal total period !";
        case F::VTotal:
            return "ERROR: Unvalid vertical total period !";
        case F::VTotalTol:
            return "ERROR: Unvalid vert. total period tolerance !";
        case F::Width:
            return "ERROR: Unvalid horizontal active window !";
        case F::Height:
            return "ERROR: Unvalid vertical active window !";
        case F::HStart:
            return "ERROR: Unvalid horiz. start of active window !";
        case F::VStart:
            return "ERROR: Unvalid vert. start of active window !";
        case F::NoInput:
            return "ERROR: No input signal enabled !";
        case F::HorizontalSum:
            return "ERROR: Width and horiz. start exceed total period !";
        case F::VerticalSum:
            return "ERROR: Height and vert. start exceed total period !";
    }
    return "";
}

const char* ModeEntryFaultField(ModeEntryFault fault) {
    using F = ModeEntryFault;
    switch (fault) {
        case F::None:
            return "";
        case F::HFreq:
            return "hFreq";
        case F::VFreq:
            return "vFreq";
        case F::HFreqTol:
            return "hFreqTol";
        case F::VFreqTol:
            return "vFreqTol";
        case F::HTotal:
        case F::HorizontalSum:
            return "hTotal";
        case F::VTotal:
        case F::VerticalSum:
            return "vTotal";
        case F::VTotalTol:
            return "vTotalTol";
        case F::Width:
            return "activeWidth";
        case F::Height:
            return "activeHeight";
        case F::HStart:
            return "hStart";
        case F::VStart:
            return "vStart";
        case F::NoInput:
            return "modeFlags";
    }
    return "";
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

unsigned UsedModeCount(const ModeTable& table) { return table.modeCount < kMaxModes ? table.modeCount : kMaxModes; }

bool OpenModeGap(ModeTable& table, unsigned slot) {
    const unsigned count = UsedModeCount(table);
    if (count >= kMaxModes || slot >= count) return false;
    for (unsigned i = count; i > slot; --i) std::memcpy(&table.entries[i], &table.entries[i - 1], sizeof(ModeEntry));
    return true;
}

bool DeleteModeEntry(ModeTable& table, unsigned row) {
    const unsigned count = UsedModeCount(table);
    if (count < 2 || row >= count) return false;
    for (unsigned i = row + 1; i < count; ++i) std::memcpy(&table.entries[i - 1], &table.entries[i], sizeof(ModeEntry));
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
