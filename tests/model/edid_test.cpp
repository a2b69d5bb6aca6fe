#include <gtest/gtest.h>

#include <functional>

#include "tolvane/edid.h"

namespace {

EdidDescription Panel() {
    EdidDescription d;
    d.vendor = "SHP";
    d.product = 0x1234;
    d.serial = 0xA1B2C3D4;
    d.week = 12;
    d.year = 2021;
    d.bitsPerColor = 6;
    d.widthCm = 30;
    d.heightCm = 23;
    d.name = "LQ150X1";
    d.serialText = "SN 0042";
    d.rangeLimits = EdidRangeLimits{50, 300, 30, 80, 170000};  // 300 Hz needs the offset of EDID 1.4
    return d;
}

std::vector<uint8_t> Encode(const EdidDescription& d) {
    const auto bytes = EncodeEdid(d);
    EXPECT_TRUE(bytes);
    return bytes.value_or(std::vector<uint8_t>{});
}

void FixChecksum(std::vector<uint8_t>& b, std::size_t block) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < 127; ++i) sum += b[block * 128 + i];
    b[block * 128 + 127] = static_cast<uint8_t>(-sum);
}

}  // namespace

TEST(Edid, WrittenAndReadBack) {
    EdidDescription d = Panel();
    // The name, serial and range limits take three base descriptors: the
    // first timing stays in the base block, the next go six to a CTA block.
    d.timings = {DmtById(0x10)->timing, DmtById(0x0F)->timing};  // the second one interlaced
    for (const DmtMode& m : DmtList())
        if (d.timings.size() < 9 && EncodeDetailedTiming(m.timing)) d.timings.push_back(m.timing);
    const std::vector<uint8_t> bytes = Encode(d);
    ASSERT_EQ(bytes.size(), 3 * 128u);
    const EdidInfo e = DecodeEdid(bytes);
    EXPECT_TRUE(e.decoded && e.checksumOk && e.problems.empty()) << FormatEdidProblem(e.problems.at(0));
    EXPECT_EQ(e.vendor, "SHP");
    EXPECT_EQ(e.product, 0x1234);
    EXPECT_EQ(e.serial, 0xA1B2C3D4u);
    EXPECT_EQ(e.week, 12);
    EXPECT_EQ(e.year, 2021);
    EXPECT_TRUE(e.digital);
    EXPECT_EQ(e.bitsPerColor, 6);
    EXPECT_EQ(e.widthMm, 300);
    EXPECT_EQ(e.heightMm, 230);
    EXPECT_EQ(e.name, "LQ150X1");
    EXPECT_EQ(e.serialText, "SN 0042");
    EXPECT_EQ(e.rangeLimits, d.rangeLimits);
    EXPECT_EQ(e.extensionsAnnounced, 2u);
    ASSERT_EQ(e.extensions.size(), 2u);
    EXPECT_EQ(e.extensions[1].block, 2u);
    ASSERT_EQ(e.detailedTimings.size(), d.timings.size());
    for (std::size_t i = 0; i < d.timings.size(); ++i) {
        EXPECT_EQ(e.detailedTimings[i].timing, d.timings[i]) << i;
        EXPECT_EQ(e.detailedTimings[i].preferred, i == 0);
        EXPECT_EQ(e.detailedTimings[i].imageWidthMm, 300);
    }
    EXPECT_EQ(e.detailedTimings[1].block, 1u);
    EXPECT_EQ(e.detailedTimings[1].offset, 4u);
    EXPECT_EQ(PreferredTiming(e), &e.detailedTimings[0]);
}

TEST(Edid, BrokenEdidsNameTheBlockAndByte) {
    EdidDescription d = Panel();
    d.timings = {DmtById(0x10)->timing, DmtById(0x23)->timing, DmtById(0x52)->timing};
    const std::vector<uint8_t> good = Encode(d);  // one CTA block with two timings
    const struct {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* where;
        const char* message;
        std::size_t timings;  // still decoded
    } cases[] = {
        {"short", [](auto& b) { b.resize(100); }, "block 0", "only 100 bytes", 0},
        {"header", [](auto& b) { b[3] = 0x00; }, "block 0, bytes 0x00..0x07", "header 00 FF FF 00", 0},
        {"checksum", [](auto& b) { b[127] ^= 1; }, "block 0, byte 0x7F", "not 0x00", 3},
        {"extension checksum", [](auto& b) { b[255] ^= 1; }, "block 1, byte 0x7F", "not 0x00", 3},
        {"no preferred timing",
         [](auto& b) {
             b[0x36] = b[0x37] = 0;
             FixChecksum(b, 0);
         },
         "block 0, descriptor at byte 0x36", "pixel clock 0", 2},
        {"horizontal blanking",
         [](auto& b) {
             b[0x36 + 3] = 10;  // blanking 10 < front porch 24 + sync 136
             b[0x36 + 4] &= 0xF0;
             FixChecksum(b, 0);
         },
         "block 0, descriptor at byte 0x36", "horizontal blanking 10 is smaller than front porch 24 + sync 136", 2},
        {"vertical blanking",
         [](auto& b) {
             b[128 + 4 + 6] = 3;  // 1280x1024: blanking 3 < front porch 1 + sync 3
             FixChecksum(b, 1);
         },
         "block 1, descriptor at byte 0x04", "vertical blanking 3 is smaller than front porch 1 + sync 3", 2},
        {"empty active",
         [](auto& b) {
             b[0x36 + 2] = 0;
             b[0x36 + 4] &= 0x0F;
             FixChecksum(b, 0);
         },
         "block 0, descriptor at byte 0x36", "active size 0x768 is empty", 2},
        {"missing extension", [](auto& b) { b.resize(128); }, "block 0, byte 0x7E",
         "1 extension blocks announced, 0 present", 1},
        {"partial block", [](auto& b) { b.resize(200); }, "block 1", "only 72 bytes", 1},
        {"CTA start",
         [](auto& b) {
             b[128 + 2] = 2;
             FixChecksum(b, 1);
         },
         "block 1, byte 0x02", "outside 0x04..0x7E", 1},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        const EdidInfo e = DecodeEdid(bytes);
        ASSERT_TRUE(HasEdidError(e)) << c.what;
        EXPECT_EQ(e.problems[0].where, c.where) << c.what;
        EXPECT_NE(e.problems[0].message.find(c.message), std::string::npos) << c.what << ": " << e.problems[0].message;
        EXPECT_EQ(e.detailedTimings.size(), c.timings) << c.what;
    }
    // A wrong checksum still shows everything.
    std::vector<uint8_t> bytes = good;
    bytes[127] ^= 1;
    const EdidInfo e = DecodeEdid(bytes);
    EXPECT_FALSE(e.checksumOk);
    EXPECT_EQ(e.name, "LQ150X1");
}

TEST(Edid, DescriptorFieldsListedModesAndText) {
    // A descriptor with borders and analog sync, built byte by byte: 800x600
    // at 40 MHz, blanking 256/28, front porch 32/1, sync 128/4, borders 8/2.
    std::vector<uint8_t> b = Encode(Panel());
    const uint8_t dtd[18] = {0xA0, 0x0F, 0x20, 0x00, 0x31, 0x58, 0x1C, 0x20, 0x20,
                             0x80, 0x14, 0x00, 0,    0,    0,    8,    2,    0x00};
    std::copy(dtd, dtd + 18, b.begin() + 0x36);
    b[0x23] = 0x21;                  // 640x480@60 and 800x600@60
    b[0x24] = 0x01;                  // 1280x1024@75
    b[0x26] = 0x81, b[0x27] = 0x80;  // 1280x1024@60 (5:4)
    b[0x28] = 0xD1, b[0x29] = 0xC0;  // 1920x1080@60 (16:9)
    b[0x2A] = 0xD1, b[0x2B] = 0x00;  // 1920x1200@60 (16:10)
    FixChecksum(b, 0);
    const EdidInfo e = DecodeEdid(b);
    EXPECT_FALSE(HasEdidError(e));
    ASSERT_FALSE(e.detailedTimings.empty());
    const EdidTiming& t = e.detailedTimings[0];
    EXPECT_EQ(t.timing, (DetailedTiming{40000, 800, 40, 128, 104, 600, 3, 4, 25, false, false, false}));
    EXPECT_EQ(t.hBorder, 8);
    EXPECT_EQ(t.sync, EdidSync::AnalogComposite);
    std::vector<unsigned> established, standard;
    for (const auto& m : e.establishedTimings) established.push_back(m.dmt ? m.dmt->id : 0);
    for (const auto& m : e.standardTimings) standard.push_back(m.dmt ? m.dmt->id : 0);
    EXPECT_EQ(established, (std::vector<unsigned>{0x04, 0x09, 0x24}));
    EXPECT_EQ(standard, (std::vector<unsigned>{0x23, 0x52, 0x45}));

    // Hex text as edid-decode and xrandr print it.
    std::string hex = "0x00 ff ff ff\nFF,FF,FF,00";
    EXPECT_EQ(EdidBytesFromHexText(hex), (std::vector<uint8_t>{0, 255, 255, 255, 255, 255, 255, 0}));
    EXPECT_FALSE(EdidBytesFromHexText("00 ff f"));
    EXPECT_FALSE(EdidBytesFromHexText("00 fg"));
    EXPECT_FALSE(EdidBytesFromHexText(""));
    EXPECT_TRUE(HasEdidHeader(b));
}

TEST(Edid, WriterRefusesWhatDoesNotFit) {
    DetailedTiming vga = DmtById(0x04)->timing;  // 25.175 MHz is no multiple of 10 kHz
    const std::vector<std::function<void(EdidDescription&)>> refused = {
        [&](EdidDescription& d) { d.timings = {vga}; },
        [](EdidDescription& d) { d.name = "FOURTEEN CHARS"; },
        [](EdidDescription& d) { d.vendor = "shp"; },
        [](EdidDescription& d) { d.bitsPerColor = 7; },
        [](EdidDescription& d) { d.rangeLimits->maxPixelClockKHz = 165000; },
        [](EdidDescription& d) { d.rangeLimits->vMinHz = 260; },  // an offset minimum needs an offset maximum
        [](EdidDescription& d) {
            d.timings = {DmtById(0x10)->timing};
            d.timings[0].vSync = 64;
        },
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        EdidDescription d = Panel();
        d.rangeLimits->vMaxHz = 75;
        refused[i](d);
        EXPECT_FALSE(EncodeEdid(d)) << i;
    }
    EdidDescription d = Panel();
    d.serialText.clear();
    d.timings = {vga};
    d.timings[0].pixelClockKHz = 25170;
    EXPECT_TRUE(EncodeEdid(d));
}
