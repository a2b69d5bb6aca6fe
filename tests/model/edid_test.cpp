#include <gtest/gtest.h>

#include <functional>

#include "tolvane/edid.h"

namespace {

EdidDescription Panel() {
    EdidDescription d;
    d.vendor = "SHP", d.product = 0x1234, d.serial = 0xA1B2C3D4, d.week = 12, d.year = 2021;
    d.bitsPerColor = 6, d.widthCm = 30, d.heightCm = 23;
    d.name = "LQ150X1", d.serialText = "SN 0042";
    d.rangeLimits = EdidRangeLimits{50, 300, 30, 80, 170000};  // 300 Hz needs the offset of EDID 1.4
    return d;
}

void FixChecksum(std::vector<uint8_t>& b, std::size_t block) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < 127; ++i) sum += b[block * 128 + i];
    b[block * 128 + 127] = static_cast<uint8_t>(-sum);
}

}  // namespace

TEST(Edid, WrittenAndReadBack) {
    EdidDescription d = Panel();
    // Name, serial and range limits take three base descriptors: the first
    // timing stays in the base block, the others go six to a CTA block.
    d.timings = {DmtById(0x10)->timing, DmtById(0x0F)->timing};  // the second one interlaced
    for (unsigned id = 0x11; d.timings.size() < 9; ++id) d.timings.push_back(DmtById(id)->timing);
    const std::vector<uint8_t> bytes = EncodeEdid(d).value();
    ASSERT_EQ(bytes.size(), 3 * 128u);
    const EdidInfo e = DecodeEdid(bytes);
    EXPECT_TRUE(e.decoded && e.checksumOk && e.problems.empty());
    EXPECT_EQ(std::make_tuple(e.vendor, e.product, e.serial, e.week, e.year, e.bitsPerColor, e.widthMm, e.name),
              std::make_tuple(d.vendor, d.product, d.serial, d.week, d.year, d.bitsPerColor, uint16_t{300}, d.name));
    EXPECT_EQ(e.serialText, d.serialText);
    EXPECT_EQ(e.rangeLimits, d.rangeLimits);
    EXPECT_EQ(e.extensions.size(), 2u);
    ASSERT_EQ(e.detailedTimings.size(), d.timings.size());
    for (std::size_t i = 0; i < d.timings.size(); ++i) {
        EXPECT_EQ(e.detailedTimings[i].timing, d.timings[i]) << i;
        EXPECT_EQ(e.detailedTimings[i].preferred, i == 0);
    }
    EXPECT_EQ(e.detailedTimings[1].block * 1000 + e.detailedTimings[1].offset, 1004u);
    EXPECT_EQ(PreferredTiming(e), &e.detailedTimings[0]);
    // What the descriptors cannot hold is not written.
    d.timings[0].pixelClockKHz = 25175;
    EXPECT_FALSE(EncodeEdid(d));
}

TEST(Edid, BrokenEdidsNameTheBlockAndByte) {
    EdidDescription d = Panel();
    d.timings = {DmtById(0x10)->timing, DmtById(0x23)->timing, DmtById(0x52)->timing};
    const std::vector<uint8_t> good = EncodeEdid(d).value();  // one CTA block with two timings
    using Damage = std::function<void(std::vector<uint8_t>&)>;
    auto at = [](std::size_t block, std::size_t byte, uint8_t value) -> Damage {
        return [=](auto& b) { b[block * 128 + byte] = value, FixChecksum(b, block); };
    };
    const struct {
        Damage damage;
        const char* where;
        const char* message;
        std::size_t timings;  // still decoded
    } cases[] = {
        {[](auto& b) { b.resize(100); }, "block 0", "only 100 bytes; a block has 128", 0},
        {[](auto& b) { b[3] = 0; }, "block 0, bytes 0x00..0x07", "header 00 FF FF 00 FF FF FF 00 is not", 0},
        {[](auto& b) { b[127] ^= 1; }, "block 0, byte 0x7F", "not 0x00", 3},
        {[](auto& b) { b[255] ^= 1; }, "block 1, byte 0x7F", "not 0x00", 3},
        {[&](auto& b) { at(0, 0x36, 0)(b), at(0, 0x37, 0)(b); }, "block 0, descriptor at byte 0x36", "pixel clock 0",
         2},
        {[&](auto& b) { at(0, 0x39, 100)(b), at(0, 0x3A, 0x40)(b); }, "block 0, descriptor at byte 0x36",
         "horizontal blanking 100 is smaller than front porch 24 + sync 136", 2},
        {at(1, 4 + 6, 3), "block 1, descriptor at byte 0x04",
         "vertical blanking 3 is smaller than front porch 1 + sync 3", 2},
        {[&](auto& b) { at(0, 0x38, 0)(b), at(0, 0x3A, 0x01)(b); }, "block 0, descriptor at byte 0x36",
         "active size 0x768 is empty", 2},
        {[](auto& b) { b.resize(128); }, "block 0, byte 0x7E", "1 extension blocks announced, 0 present", 1},
        {[](auto& b) { b.resize(200); }, "block 1", "only 72 bytes", 1},
        {at(1, 2, 2), "block 1, byte 0x02", "outside 0x04..0x7E", 1},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        const EdidInfo e = DecodeEdid(bytes);
        ASSERT_TRUE(HasEdidError(e)) << c.message;
        EXPECT_EQ(e.problems[0].where, c.where) << c.message;
        EXPECT_NE(e.problems[0].message.find(c.message), std::string::npos) << e.problems[0].message;
        EXPECT_EQ(e.detailedTimings.size(), c.timings) << c.message;
        EXPECT_EQ(e.checksumOk, e.decoded && e.problems[0].where.find("0x7F") == std::string::npos) << c.message;
    }
}

TEST(Edid, DescriptorFieldsListedModesAndHexText) {
    // Built byte by byte: 800x600 at 40 MHz, blanking 256/28, front porch
    // 32/1, sync 128/4, borders 8/2, analog composite sync.
    std::vector<uint8_t> b = EncodeEdid(Panel()).value();
    const uint8_t dtd[18] = {0xA0, 0x0F, 0x20, 0x00, 0x31, 0x58, 0x1C, 0x20, 0x20, 0x80, 0x14, 0, 0, 0, 0, 8, 2, 0};
    std::copy(dtd, dtd + 18, b.begin() + 0x36);
    const uint8_t listed[] = {0x21, 0x01, 0x00, 0x81, 0x80, 0xD1, 0xC0, 0xD1, 0x00};  // established, then standard
    std::copy(listed, listed + sizeof listed, b.begin() + 0x23);
    FixChecksum(b, 0);
    const EdidInfo e = DecodeEdid(b);
    ASSERT_FALSE(HasEdidError(e));
    EXPECT_EQ(e.detailedTimings.at(0).timing, (DetailedTiming{40000, 800, 40, 128, 104, 600, 3, 4, 25}));
    EXPECT_EQ(e.detailedTimings[0].sync, EdidSync::AnalogComposite);
    std::vector<unsigned> ids;
    for (const auto* list : {&e.establishedTimings, &e.standardTimings})
        for (const auto& m : *list) ids.push_back(m.dmt ? m.dmt->id : 0);
    EXPECT_EQ(ids, (std::vector<unsigned>{0x04, 0x09, 0x24, 0x23, 0x52, 0x45}));

    EXPECT_EQ(EdidBytesFromHexText("0x00 ff ff ff\nFF,FF,FF,00"),
              std::vector<uint8_t>(kEdidHeader.begin(), kEdidHeader.end()));
    for (const char* text : {"00 ff f", "00 fg", ""}) EXPECT_FALSE(EdidBytesFromHexText(text)) << text;
}
