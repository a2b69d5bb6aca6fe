#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tolvane/files.h"
#include "tolvane/panel.h"

namespace {

PanelRecord DefaultRecord() {
    PanelRecord r{};
    SetPanelDefaults(r);
    return r;
}

bool SameRecord(const PanelRecord& a, const PanelRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(ByteOrder, HelpersSwapAndWiden) {
    EXPECT_EQ(Swap16(0x1234), 0x3412);
    EXPECT_EQ(Swap32(0x11223344u), 0x44332211u);
    EXPECT_EQ(LowByte(0x1FF), 0xFF);
    EXPECT_EQ(LowByte(256), 0);
    EXPECT_EQ(WidenByte(0xAB), 0x00AB);
}

TEST(PanelDefaults, FileBytesOfAZeroedRecord) {
    const PanelRecord r = DefaultRecord();
    uint8_t b[kPanelFileSize];
    PanelRecordToFileBytes(r, b);
    EXPECT_EQ(std::memcmp(b, "VANTRL2\0", 8), 0);
    auto le16 = [&](int off) { return b[off] | (b[off + 1] << 8); };
    EXPECT_EQ(le16(8), 256);
    EXPECT_EQ(le16(26), 256);
    EXPECT_EQ(le16(32), 0x0C04);
    EXPECT_EQ(le16(34), 6);
    EXPECT_EQ(le16(36), 1024);
    EXPECT_EQ(le16(38), 768);
    EXPECT_EQ(le16(62), 221);
    EXPECT_EQ(le16(64), 17);
    EXPECT_EQ(le16(66), 0x1101);
    for (int i = 10; i < 26; ++i) EXPECT_EQ(b[i], 0) << i;
    for (int i = 40; i < 62; ++i) EXPECT_EQ(b[i], 0) << i;
    for (int i = 68; i < 256; ++i) EXPECT_EQ(b[i], 0) << i;
    for (int i = 0; i < 256; ++i) EXPECT_EQ(b[256 + i], i);
}

TEST(PanelDefaults, LeavesNameTailPowerDelaysAndResolutionFlags) {
    PanelRecord r{};
    std::memset(&r, 0x5A, sizeof r);
    SetPanelDefaults(r);
    EXPECT_EQ(r.displayName[0], 0);
    for (int i = 1; i < 16; ++i) EXPECT_EQ(r.displayName[i], 0x5A);
    EXPECT_EQ(r.powerOnT1, 0x5A);
    EXPECT_EQ(r.powerOffT4, 0x5A);
    EXPECT_EQ(r.resolutionFlags, 0x5A5A);
    EXPECT_EQ(r.vFreqMin, 0);
    for (uint8_t v : r.reserved78) EXPECT_EQ(v, 0);
    EXPECT_EQ(r.reserved254, 0);
}

TEST(PanelRecord, SixteenCharacterNameFillsItsField) {
    PanelRecord r = DefaultRecord();
    std::memcpy(r.displayName, "ABCDEFGHIJKLMNOP", 16);
    uint8_t b[kPanelFileSize];
    PanelRecordToFileBytes(r, b);
    EXPECT_EQ(std::memcmp(b + 10, "ABCDEFGHIJKLMNOP", 16), 0);
    EXPECT_EQ(b[26], 0x00);  // imageHeader 256 follows directly
    EXPECT_EQ(b[27], 0x01);

    PanelImage img{};
    GammaTable g{};
    PanelRecordToImage(r, img, g);
    EXPECT_EQ(std::memcmp(img.bytes + 0x04, "ABCDEFGHIJKLMNOP", 16), 0);
    EXPECT_EQ(img.bytes[0x14], 0x04);
}

TEST(PanelRecord, ApplyResolutionClass) {
    PanelRecord r = DefaultRecord();
    SetResolutionClass(r, kClassSVGA);
    ApplyResolutionClass(r);
    EXPECT_EQ(r.hResolution, 800);
    EXPECT_EQ(r.vResolution, 600);
    EXPECT_EQ(r.resolutionCodeA, 218);
    EXPECT_EQ(r.resolutionCodeB, 17);

    r.hResolution = 1111;
    r.vResolution = 999;
    SetResolutionClass(r, kClassSXGA);
    SetCustomResolution(r, true);
    ApplyResolutionClass(r);
    EXPECT_EQ(r.hResolution, 1111);
    EXPECT_EQ(r.vResolution, 999);
    EXPECT_EQ(r.resolutionCodeA, 204);
    EXPECT_EQ(r.resolutionCodeB, 9);

    for (uint16_t cls : {uint16_t{0}, uint16_t{kClassVGA | kClassXGA}}) {
        PanelRecord before = DefaultRecord();
        before.hResolution = 1234;
        before.resolutionCodeA = 77;
        SetResolutionClass(before, cls);
        PanelRecord after = before;
        ApplyResolutionClass(after);
        EXPECT_TRUE(SameRecord(before, after)) << cls;
    }
}

TEST(PanelImage, KesaDefaultByResolutionLeavesRecordAlone) {
    PanelRecord r = DefaultRecord();
    PanelImage img{};
    GammaTable g{};
    struct Case {
        uint16_t width;
        bool dual;
        uint16_t kesa;
        uint8_t expected;
    };
    for (const Case& c :
         {Case{1024, true, 0, 12}, Case{1024, false, 0, 6}, Case{1600, false, 0, 0}, Case{640, false, 0, 5},
          Case{800, true, 0, 7}, Case{1280, false, 0, 1}, Case{1024, true, 3, 3}, Case{640, false, 3, 3}}) {
        r.hResolution = c.width;
        r.kesaId = c.kesa;
        SetPanelFlag(r, kDualPixel, c.dual);
        const PanelRecord before = r;
        PanelRecordToImage(r, img, g);
        EXPECT_EQ(img.bytes[panel_image::kKesaId], c.expected) << c.width << " " << c.dual;
        EXPECT_TRUE(SameRecord(before, r));
    }
}

TEST(PanelImage, BytePlacementAndOneByteSlots) {
    PanelRecord r = DefaultRecord();
    r.maxDisplayClock = 150000;
    r.hPulseWidth = 256;
    r.hBackPorch = 255;
    r.vFreqMax = 75;
    r.vFreqTyp = 60;
    r.vFreqMin = 50;
    PanelImage img{};
    GammaTable g{};
    PanelRecordToImage(r, img, g);
    EXPECT_EQ(img.bytes[0x16], 0x04);
    EXPECT_EQ(img.bytes[0x17], 0x00);
    const uint8_t clock[4] = {0x00, 0x02, 0x49, 0xF0};
    EXPECT_EQ(std::memcmp(img.bytes + 0x1C, clock, 4), 0);
    EXPECT_EQ(img.bytes[0x22], 0);
    EXPECT_EQ(img.bytes[0x23], 255);
    EXPECT_EQ(img.bytes[0x1A], 75);
    EXPECT_EQ(img.bytes[0x1B], 60);
    EXPECT_EQ(img.bytes[0x24], 50);
    EXPECT_EQ(img.bytes[0x38], 0x11);
    EXPECT_EQ(img.bytes[0x39], 0x01);
    for (int i : {0x25, 0x26, 0x27, 0x2E, 0x2F, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35}) EXPECT_EQ(img.bytes[i], 0) << i;
}

TEST(PanelImage, FlagsAndGammaTravelTogether) {
    PanelRecord r = DefaultRecord();
    PanelImage img{};
    GammaTable buffer;
    std::memset(buffer.level, 0xEE, sizeof buffer.level);
    PanelRecordToImage(r, img, buffer);
    EXPECT_EQ(img.bytes[0x14], 0x04);
    EXPECT_EQ(img.bytes[0x3A], 0x0C);
    EXPECT_EQ(buffer.level[0], 0xEE);  // useGamma clear: buffer untouched

    for (int i = 0; i < 256; ++i) r.gammaTable.level[i] = static_cast<uint8_t>(255 - i);
    SetPanelFlag(r, kUseGamma, true);
    PanelRecordToImage(r, img, buffer);
    EXPECT_EQ(img.bytes[0x3A], 0x1C);
    EXPECT_EQ(buffer.level[0], 255);

    PanelRecord back = DefaultRecord();  // identity gamma
    ImageToPanelRecord(img, buffer, back);
    EXPECT_EQ(back.panelFlags, 0x1C04);
    EXPECT_EQ(back.gammaTable.level[0], 255);
    EXPECT_EQ(back.gammaTable.level[255], 0);

    img.bytes[0x3A] = 0x0C;  // no useGamma: gamma of the target stays
    PanelRecord keep = DefaultRecord();
    ImageToPanelRecord(img, buffer, keep);
    EXPECT_EQ(keep.gammaTable.level[0], 0);
}

// Packing and unpacking reproduces every field the image carries. Fields
// the image cannot carry are normalised first: kesaId set, one-byte slots
// below 256, the name NUL-padded, reserved bytes zero.
TEST(PanelImage, RandomRoundTrip) {
    std::mt19937 rng(12345);
    auto u16 = [&] { return static_cast<uint16_t>(rng()); };
    auto u8 = [&] { return static_cast<uint16_t>(rng() & 0xFF); };
    for (int iter = 0; iter < 2000; ++iter) {
        PanelRecord r{};
        SetPanelDefaults(r);
        const std::size_t len = rng() % 17;
        for (std::size_t i = 0; i < len; ++i) r.displayName[i] = static_cast<char>(1 + rng() % 255);
        r.imageHeader = u16();
        r.manufacturer = u8();
        r.reserved30 = u8();
        r.panelFlags = u16();
        r.colorDepth = u8();
        r.hResolution = u16();
        r.vResolution = u16();
        r.vFreqTyp = u8();
        r.vFreqMax = u8();
        r.vFreqMin = u8();
        r.maxDisplayClock = static_cast<uint32_t>(rng());
        r.hMinTotal = u16();
        r.hPulseWidth = u8();
        r.hBackPorch = u8();
        r.reserved54 = u16();
        r.vMinTotal = u16();
        r.vPulseWidth = u8();
        r.vBackPorch = u8();
        r.resolutionCodeA = u8();
        r.resolutionCodeB = u8();
        r.outputDrive = u16();
        r.kesaId = static_cast<uint16_t>(1 + rng() % 255);
        r.powerOnT1 = static_cast<uint8_t>(u8());
        r.powerOnT2 = static_cast<uint8_t>(u8());
        r.powerOffT3 = static_cast<uint8_t>(u8());
        r.powerOffT4 = static_cast<uint8_t>(u8());
        r.resolutionFlags = u16();
        for (auto& v : r.gammaTable.level) v = static_cast<uint8_t>(rng());

        PanelImage img{};
        GammaTable buffer{};
        PanelRecordToImage(r, img, buffer);
        PanelRecord back{};
        std::memset(&back, 0xA5, sizeof back);
        back.resolutionFlags = r.resolutionFlags;
        if (!HasPanelFlag(r, kUseGamma)) back.gammaTable = r.gammaTable;
        ImageToPanelRecord(img, buffer, back);
        ASSERT_TRUE(SameRecord(r, back)) << "iteration " << iter;
    }
}

TEST(PanelRecord, EveryResolutionClassSetsItsResolutionAndCodes) {
    struct Case {
        uint16_t cls;
        uint16_t width, height, codeA, codeB;
    };
    for (const Case& c :
         {Case{kClassVGA, 640, 480, 218, 17}, Case{kClassSVGA, 800, 600, 218, 17}, Case{kClassXGA, 1024, 768, 221, 17},
          Case{kClassSXGA, 1280, 1024, 204, 9}, Case{kClassUXGA, 1600, 1200, 204, 9}}) {
        PanelRecord r = DefaultRecord();
        r.hResolution = 1;
        r.vResolution = 1;
        r.resolutionCodeA = 0;
        r.resolutionCodeB = 0;
        SetResolutionClass(r, c.cls);
        ApplyResolutionClass(r);
        EXPECT_EQ(r.hResolution, c.width) << c.cls;
        EXPECT_EQ(r.vResolution, c.height) << c.cls;
        EXPECT_EQ(r.resolutionCodeA, c.codeA) << c.cls;
        EXPECT_EQ(r.resolutionCodeB, c.codeB) << c.cls;
    }
}

TEST(PanelRecord, WidthClassAndKesaDefaultAtTheBoundaries) {
    struct Case {
        unsigned width;
        uint16_t cls;
        uint8_t kesa;
    };
    for (const Case& c :
         {Case{1, kClassVGA, 0}, Case{639, kClassVGA, 0}, Case{640, kClassVGA, 5}, Case{641, kClassSVGA, 0},
          Case{800, kClassSVGA, 7}, Case{801, kClassXGA, 0}, Case{1024, kClassXGA, 6}, Case{1025, kClassSXGA, 0},
          Case{1280, kClassSXGA, 1}, Case{1281, kClassUXGA, 0}, Case{1600, kClassUXGA, 0}}) {
        EXPECT_EQ(ResolutionClassForWidth(c.width), c.cls) << c.width;
        PanelRecord r = DefaultRecord();
        r.hResolution = static_cast<uint16_t>(c.width);
        PanelImage img{};
        GammaTable g{};
        PanelRecordToImage(r, img, g);
        EXPECT_EQ(img.bytes[panel_image::kKesaId], c.kesa) << c.width;
    }
}

TEST(PanelImage, ShortNameIsPaddedWithNulsNotWithWhatFollows) {
    PanelRecord r = DefaultRecord();
    std::memcpy(r.displayName, "AB\0left over nam", 16);
    PanelImage img{};
    std::memset(img.bytes, 0xFF, sizeof img.bytes);
    GammaTable g{};
    PanelRecordToImage(r, img, g);
    const uint8_t expected[16] = {'A', 'B'};
    EXPECT_EQ(std::memcmp(img.bytes + panel_image::kDisplayName, expected, 16), 0);

    PanelRecord back = DefaultRecord();
    std::memset(back.displayName, 'x', 16);
    ImageToPanelRecord(img, g, back);
    EXPECT_EQ(std::memcmp(back.displayName, expected, 16), 0);
}

TEST(PanelRecord, ClockDriveUsesAllFourBitsOfItsField) {
    PanelRecord r = DefaultRecord();
    r.outputDrive = 0x1F01;  // a foreign record with clock drive 15
    EXPECT_EQ(ClockDrive(r), 15u);
    SetClockDrive(r, 3);
    EXPECT_EQ(r.outputDrive, 0x1301);
    EXPECT_EQ(ClockDrive(r), 3u);
    SetClockDrive(r, 7);
    EXPECT_EQ(r.outputDrive, 0x1701);
    EXPECT_EQ(DataLinesDrive(r), 1u);
    EXPECT_EQ(ControlLinesDrive(r), 1u);
}
