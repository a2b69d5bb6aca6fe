#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "tolvane/files.h"
#include "tolvane/modes.h"

namespace {

bool AllZero(const uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

ModeEntry SampleEntry(uint16_t width) {
    ModeEntry e{};
    e.hFreq = 480;
    e.hFreqTol = 10;
    e.vFreq = 720;
    e.vFreqTol = 10;
    e.vTotal = 666;
    e.vTotalTol = 4;
    e.hTotal = 1040;
    e.activeWidth = width;
    e.activeHeight = 600;
    e.hStart = 200;
    e.vStart = 30;
    e.modeFlags = kEnableAnalog;
    return e;
}

}  // namespace

TEST(ModeTable, DefaultTableAndItsImage) {
    ModeTable t{};
    SetModeTableDefaults(t);
    uint8_t file[kModeFileSize];
    ModeTableToFileBytes(t, file);
    EXPECT_EQ(std::memcmp(file, "VANTRL2\0\x00\x01\x01\x00", 12), 0);
    EXPECT_TRUE(AllZero(file + 12 + 20, kModeFileSize - 32));

    ModeTableImage img;
    std::memset(img.bytes, 0xFF, sizeof img.bytes);
    ModeTableToImage(t, img);
    const uint8_t expected[20] = {0x01, 0x3B, 0x0A, 0x02, 0x57, 0x0A, 0x02, 0x0D, 0x04, 0x03,
                                  0x20, 0x02, 0x80, 0x01, 0xE0, 0x00, 0x8D, 0x00, 0x19, 0x30};
    EXPECT_EQ(std::memcmp(img.bytes, expected, 20), 0);
    EXPECT_TRUE(AllZero(img.bytes + 20, 748));
}

TEST(ModeTable, CountsZeroThirtyEightAndBeyond) {
    ModeTable t{};
    SetModeTableDefaults(t);
    t.modeCount = 0;
    ModeTableImage img;
    std::memset(img.bytes, 0xFF, sizeof img.bytes);
    ModeTableToImage(t, img);
    EXPECT_TRUE(AllZero(img.bytes, sizeof img.bytes));

    for (unsigned i = 0; i < kMaxModes; ++i) t.entries[i] = SampleEntry(static_cast<uint16_t>(800 + i));
    for (uint16_t count : {uint16_t{38}, uint16_t{39}, uint16_t{0xFFFF}}) {
        t.modeCount = count;
        std::memset(img.bytes, 0xFF, sizeof img.bytes);
        ModeTableToImage(t, img);
        EXPECT_EQ(img.bytes[37 * 20 + 11], 0x03);  // width 837 = 0x0345
        EXPECT_EQ(img.bytes[37 * 20 + 12], 0x45);
        EXPECT_TRUE(AllZero(img.bytes + 760, 8)) << count;
    }
}

TEST(ModeTable, ClearEntryStaysInsideTheTable) {
    ModeTable t{};
    SetModeTableDefaults(t);
    t.entries[37] = SampleEntry(800);
    std::memset(t.reserved, 0xEE, sizeof t.reserved);  // the bytes right after the last slot
    ClearModeEntry(t, 0);
    EXPECT_TRUE(AllZero(reinterpret_cast<const uint8_t*>(&t.entries[0]), sizeof(ModeEntry)));
    const ModeTable before = t;
    ClearModeEntry(t, 38);
    ClearModeEntry(t, 0xFFFF);
    EXPECT_EQ(std::memcmp(&before, &t, sizeof t), 0);
    ClearModeEntry(t, 37);
    EXPECT_TRUE(AllZero(reinterpret_cast<const uint8_t*>(&t.entries[37]), sizeof(ModeEntry)));
    EXPECT_EQ(t.reserved[0], 0xEE);
    EXPECT_EQ(+t.entries[36].activeWidth, 0);
}

TEST(ModeImage, ZeroImageGivesEmptyTable) {
    ModeTable t;
    std::memset(&t, 0x77, sizeof t);
    ModeTableImage img{};
    ImageToModeTable(img, t);
    EXPECT_EQ(std::memcmp(t.magic, "VANTRL2", 8), 0);
    EXPECT_EQ(+t.headerWord, 256);
    EXPECT_EQ(+t.modeCount, 0);
    EXPECT_TRUE(AllZero(reinterpret_cast<const uint8_t*>(t.entries), sizeof t.entries + sizeof t.reserved));
}

// Reading a table from the board and writing it back unchanged leaves the
// board as it was, whatever empty slots lie between or after the entries.
TEST(ModeImage, ReadAndWriteBackKeepsTheImage) {
    struct Case {
        const char* name;
        std::vector<unsigned> used;  // slots holding SampleEntry(800 + slot)
        int partialSlot;             // a slot with width set and height 0, or -1
        uint16_t count;              // modeCount after reading
    };
    const Case cases[] = {
        {"none", {}, -1, 0},
        {"packed", {0, 1, 2}, -1, 3},
        {"gap before used ones", {0, 2, 3}, -1, 4},
        {"only the last slot", {37}, -1, 38},
        {"partial entry after the last used one", {0}, 5, 6},
        {"partial entry in a gap", {0, 4}, 2, 5},
    };
    for (const Case& c : cases) {
        ModeTableImage img{};
        ModeTable src{};
        for (unsigned slot : c.used) src.entries[slot] = SampleEntry(static_cast<uint16_t>(800 + slot));
        if (c.partialSlot >= 0) {
            src.entries[c.partialSlot] = SampleEntry(1280);
            src.entries[c.partialSlot].activeHeight = 0;
        }
        src.modeCount = kMaxModes;
        ModeTableToImage(src, img);

        ModeTable t{};
        ImageToModeTable(img, t);
        EXPECT_EQ(+t.modeCount, c.count) << c.name;
        for (unsigned slot : c.used) EXPECT_EQ(+t.entries[slot].activeWidth, 800 + slot) << c.name;
        ModeTableImage again{};
        std::memset(again.bytes, 0xA5, sizeof again.bytes);
        ModeTableToImage(t, again);
        EXPECT_EQ(std::memcmp(again.bytes, img.bytes, sizeof img.bytes), 0) << c.name;
    }
}

TEST(ModeImage, ReservedBytesOfAnEntryAreNotCarried) {
    ModeTable src{};
    SetModeTableDefaults(src);
    src.entries[0].reserved[5] = 0x99;
    ModeTableImage img{};
    ModeTableToImage(src, img);
    ModeTable t{};
    ImageToModeTable(img, t);
    EXPECT_EQ(+t.modeCount, 1);
    EXPECT_EQ(+t.entries[0].reserved[5], 0);
}

TEST(ModeImage, RandomRoundTrip) {
    std::mt19937 rng(777);
    for (int iter = 0; iter < 500; ++iter) {
        ModeTable t{};
        SetModeTableDefaults(t);
        const uint16_t count = static_cast<uint16_t>(rng() % 39);
        std::memset(t.entries, 0, sizeof t.entries);
        t.modeCount = count;
        for (unsigned i = 0; i < count; ++i) {
            ModeEntry& e = t.entries[i];
            e.hFreq = static_cast<uint16_t>(rng());
            e.hFreqTol = static_cast<uint8_t>(rng());
            e.vFreq = static_cast<uint16_t>(rng());
            e.vFreqTol = static_cast<uint8_t>(rng());
            e.vTotal = static_cast<uint16_t>(rng());
            e.vTotalTol = static_cast<uint8_t>(rng());
            e.hTotal = static_cast<uint16_t>(rng());
            e.activeWidth = static_cast<uint16_t>(1 + rng() % 0xFFFF);
            e.activeHeight = static_cast<uint16_t>(1 + rng() % 0xFFFF);
            e.hStart = static_cast<uint16_t>(rng());
            e.vStart = static_cast<uint16_t>(rng());
            e.modeFlags = static_cast<uint8_t>(rng());
        }
        ModeTableImage img{};
        ModeTableToImage(t, img);
        ModeTable back;
        std::memset(&back, 0x3C, sizeof back);
        ImageToModeTable(img, back);
        ASSERT_EQ(std::memcmp(&t, &back, sizeof t), 0) << "iteration " << iter;
    }
}
