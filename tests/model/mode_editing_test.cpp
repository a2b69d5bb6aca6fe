#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tolvane/mode_editing.h"
#include "tolvane/modes.h"

namespace {

// The start-up VGA entry as typed: passes every check.
TypedModeEntry Vga() {
    ModeTable t{};
    SetModeTableDefaults(t);
    return TypedFromModeEntry(t.entries[0]);
}

// A table of `count` entries whose slots are told apart by hTotal and a
// reserved byte (which must move with its entry).
ModeTable Numbered(unsigned count) {
    ModeTable t{};
    SetModeTableDefaults(t);
    t.modeCount = static_cast<uint16_t>(count);
    for (unsigned i = 0; i < kMaxModes; ++i) {
        t.entries[i] = ModeEntry{};
        if (i >= count) continue;
        t.entries[i].hTotal = static_cast<uint16_t>(1000 + i);
        t.entries[i].reserved[31] = static_cast<uint8_t>(i + 1);
    }
    return t;
}

std::vector<int> Totals(const ModeTable& t, unsigned slots) {
    std::vector<int> out;
    for (unsigned i = 0; i < slots; ++i) out.push_back(t.entries[i].hTotal);
    return out;
}

bool SlotIsZero(const ModeEntry& e) {
    static const ModeEntry zero{};
    return std::memcmp(&e, &zero, sizeof e) == 0;
}

}  // namespace

TEST(ModeEditing, RangesIncludeTheirBoundsAndNothingBeyond) {
    using F = ModeEntryFault;
    // Fields whose whole range can be tried on the VGA entry.
    struct Range {
        int64_t TypedModeEntry::*field;
        int64_t low, high;
        F fault;
    } ranges[] = {
        {&TypedModeEntry::hFreq, 100, 2000, F::HFreq},      {&TypedModeEntry::vFreq, 450, 2000, F::VFreq},
        {&TypedModeEntry::hFreqTol, 0, 100, F::HFreqTol},   {&TypedModeEntry::vFreqTol, 0, 200, F::VFreqTol},
        {&TypedModeEntry::vTotalTol, 0, 100, F::VTotalTol},
    };
    for (const Range& r : ranges) {
        for (int64_t v : {r.low, r.high}) {
            TypedModeEntry t = Vga();
            t.*r.field = v;
            EXPECT_EQ(CheckModeEntry(t), F::None) << v;
        }
        for (int64_t v : {r.low - 1, r.high + 1, int64_t{-1}, INT64_MIN, INT64_MAX}) {
            TypedModeEntry t = Vga();
            t.*r.field = v;
            EXPECT_EQ(CheckModeEntry(t), r.fault) << v;
        }
    }
    // Upper bounds of the fields whose sums also matter, on their own.
    TypedModeEntry wide = Vga();
    wide.hTotal = 4096;
    wide.activeWidth = 4096 - 800;
    wide.hStart = 800;
    EXPECT_EQ(CheckModeEntry(wide), F::None);
    wide.hTotal = 4097;
    EXPECT_EQ(CheckModeEntry(wide), F::HTotal);
    wide.hTotal = 4096;
    wide.hStart = 801;
    EXPECT_EQ(CheckModeEntry(wide), F::HStart);
    TypedModeEntry tall = Vga();
    tall.vTotal = 2048;
    tall.activeHeight = 2048 - 200;
    tall.vStart = 200;
    EXPECT_EQ(CheckModeEntry(tall), F::None);
    tall.activeHeight = 2049;
    EXPECT_EQ(CheckModeEntry(tall), F::Height);
    tall.activeHeight = 119;
    EXPECT_EQ(CheckModeEntry(tall), F::Height);
    TypedModeEntry narrow = Vga();
    narrow.activeWidth = 159;
    EXPECT_EQ(CheckModeEntry(narrow), F::Width);
    narrow.activeWidth = 160;
    EXPECT_EQ(CheckModeEntry(narrow), F::None);
}

// An entry wrong in every field reports its faults one at a time in the
// editor's order as they are mended: the first message is always the one
// of the earliest check (the width's before the height's, and so on).
TEST(ModeEditing, ChecksRunInTheEditorsOrder) {
    using F = ModeEntryFault;
    const TypedModeEntry good = Vga();
    TypedModeEntry t{};  // every value 0, no input enabled
    t.hFreqTol = 101;
    t.vFreqTol = 201;
    t.vTotalTol = 101;
    const struct {
        F fault;
        int64_t TypedModeEntry::*field;  // mended next, to `value`
        int64_t value;
    } steps[] = {
        {F::HFreq, &TypedModeEntry::hFreq, good.hFreq},
        {F::VFreq, &TypedModeEntry::vFreq, good.vFreq},
        {F::HFreqTol, &TypedModeEntry::hFreqTol, good.hFreqTol},
        {F::VFreqTol, &TypedModeEntry::vFreqTol, good.vFreqTol},
        {F::HTotal, &TypedModeEntry::hTotal, 160},  // in range, still too short for the sum
        {F::VTotal, &TypedModeEntry::vTotal, 120},
        {F::VTotalTol, &TypedModeEntry::vTotalTol, good.vTotalTol},
        {F::Width, &TypedModeEntry::activeWidth, good.activeWidth},
        {F::Height, &TypedModeEntry::activeHeight, good.activeHeight},
        {F::HStart, &TypedModeEntry::hStart, good.hStart},
        {F::VStart, &TypedModeEntry::vStart, good.vStart},
        {F::NoInput, nullptr, 0},
        {F::HorizontalSum, &TypedModeEntry::hTotal, good.hTotal},
        {F::VerticalSum, &TypedModeEntry::vTotal, good.vTotal},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(CheckModeEntry(t), step.fault) << ModeEntryFaultMessage(step.fault);
        if (step.field) t.*step.field = step.value;
        else t.enables = good.enables;
    }
    EXPECT_EQ(CheckModeEntry(t), F::None);
}

TEST(ModeEditing, StoringWritesTheTwentyBoardBytesOnly) {
    ModeTable t = Numbered(1);
    std::memset(t.entries[0].reserved, 0xA5, sizeof t.entries[0].reserved);
    TypedModeEntry typed = Vga();
    typed.scanType = 3;
    typed.enables = kEnableVideo | kEnableAnalog;
    StoreTypedModeEntry(typed, t.entries[0]);
    ModeTable expected{};
    SetModeTableDefaults(expected);
    expected.entries[0].modeFlags = 0x53;
    EXPECT_EQ(std::memcmp(&t.entries[0], &expected.entries[0], 20), 0);
    EXPECT_EQ(t.entries[0].reserved[0], 0xA5);
    EXPECT_EQ(t.entries[0].reserved[31], 0xA5);
    // And the entry reads back as it was typed.
    TypedModeEntry back = TypedFromModeEntry(t.entries[0]);
    EXPECT_EQ(back.hFreq, 315);
    EXPECT_EQ(back.scanType, 3u);
    EXPECT_EQ(back.enables, kEnableVideo | kEnableAnalog);
}

TEST(ModeEditing, GapDeleteAndSwapMoveWholeEntries) {
    ModeTable t = Numbered(5);
    ASSERT_TRUE(OpenModeGap(t, 0));
    EXPECT_EQ(+t.modeCount, 5);  // the caller counts the new entry
    EXPECT_EQ(Totals(t, 6), (std::vector<int>{1000, 1000, 1001, 1002, 1003, 1004}));
    EXPECT_EQ(t.entries[5].reserved[31], 5);
    EXPECT_FALSE(OpenModeGap(t, 5));  // not in front of an entry

    t = Numbered(3);
    ASSERT_TRUE(DeleteModeEntry(t, 0));
    EXPECT_EQ(+t.modeCount, 2);
    EXPECT_EQ(Totals(t, 2), (std::vector<int>{1001, 1002}));
    EXPECT_EQ(t.entries[0].reserved[31], 2);
    EXPECT_TRUE(SlotIsZero(t.entries[2]));
    EXPECT_FALSE(DeleteModeEntry(t, 2));
    ASSERT_TRUE(DeleteModeEntry(t, 1));
    EXPECT_FALSE(DeleteModeEntry(t, 0));  // one entry always stays
    EXPECT_EQ(+t.modeCount, 1);

    t = Numbered(3);
    ASSERT_TRUE(SwapModeEntries(t, 1, 2));
    EXPECT_EQ(Totals(t, 3), (std::vector<int>{1000, 1002, 1001}));
    EXPECT_EQ(t.entries[2].reserved[31], 2);
    EXPECT_FALSE(SwapModeEntries(t, 2, 3));
}

TEST(ModeEditing, FullTableAndCountsBeyondItStayInsideTheSlots) {
    ModeTable t = Numbered(38);
    EXPECT_FALSE(OpenModeGap(t, 0));
    EXPECT_EQ(Totals(t, 2), (std::vector<int>{1000, 1001}));

    // A count that no editor writes, as a file made elsewhere may carry it.
    t = Numbered(38);
    t.modeCount = 0xFFFF;
    EXPECT_EQ(UsedModeCount(t), 38u);
    EXPECT_FALSE(OpenModeGap(t, 37));
    EXPECT_FALSE(SwapModeEntries(t, 37, 38));
    ASSERT_TRUE(SwapModeEntries(t, 36, 37));
    ASSERT_TRUE(DeleteModeEntry(t, 0));
    EXPECT_EQ(+t.modeCount, 37);
    EXPECT_EQ(+t.entries[36].hTotal, 1036);
    EXPECT_TRUE(SlotIsZero(t.entries[37]));
}
