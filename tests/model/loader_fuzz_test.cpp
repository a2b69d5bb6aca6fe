// Files of random sizes and contents through every loader: nothing may read
// or write out of bounds, failures leave the destination as it was, and an
// accepted mode table never counts more than 38 entries.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "model_test_files.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"

using LoaderFuzz = TempDirTest;

TEST_F(LoaderFuzz, RandomFilesThroughEveryLoader) {
    std::mt19937 rng(4242);
    const auto path = Path("random.bin");
    for (int iter = 0; iter < 600; ++iter) {
        std::size_t size;
        switch (rng() % 4) {
            case 0:
                size = rng() % 600;
                break;
            case 1:
                size = 2000 + rng() % 300;
                break;
            case 2:
                size = std::vector<std::size_t>{255, 256, 257, 511, 512, 513, 2115, 2116, 2117}[rng() % 9];
                break;
            default:
                size = rng() % 5000;
                break;
        }
        std::vector<uint8_t> bytes(size);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
        if (size >= 8 && rng() % 2) std::memcpy(bytes.data(), rng() % 2 ? "VANTRL2" : "vAnTrL2", 8);
        if (size >= 12 && rng() % 2) bytes[11] = 0;
        WriteRaw(path, bytes);

        PanelRecord panel;
        std::memset(&panel, 0x11, sizeof panel);
        const PanelRecord panelBefore = panel;
        bool wrong = false;
        if (ReadPanelFile(path, panel, wrong)) {
            EXPECT_GE(size, 512u);
            PanelImage img{};
            GammaTable g{};
            PanelRecordToImage(panel, img, g);
            ApplyResolutionClass(panel);
        } else {
            EXPECT_EQ(std::memcmp(&panel, &panelBefore, sizeof panel), 0);
            EXPECT_EQ(wrong, size >= 512u);
        }

        ModeTable table;
        std::memset(&table, 0x22, sizeof table);
        const ModeTable tableBefore = table;
        if (ReadModeFile(path, table, wrong)) {
            EXPECT_GE(size, 2116u);
            EXPECT_LE(+table.modeCount, 38);
            ModeTableImage img{};
            ModeTableToImage(table, img);
            ImageToModeTable(img, table);
            EXPECT_LE(+table.modeCount, 38);
        } else {
            EXPECT_EQ(std::memcmp(&table, &tableBefore, sizeof table), 0);
        }

        GammaTable gamma;
        std::memset(gamma.level, 0x33, sizeof gamma.level);
        EXPECT_EQ(IsGammaFile(path), size == 256);
        if (ReadGammaFile(path, gamma)) {
            EXPECT_EQ(std::memcmp(gamma.level, bytes.data(), 256), 0);
        } else {
            EXPECT_EQ(gamma.level[0], 0x33);
        }
    }
}

TEST(ImageFuzz, RandomImagesUnpack) {
    std::mt19937 rng(99);
    for (int iter = 0; iter < 500; ++iter) {
        PanelImage pimg;
        for (auto& b : pimg.bytes) b = static_cast<uint8_t>(rng());
        GammaTable g;
        for (auto& b : g.level) b = static_cast<uint8_t>(rng());
        PanelRecord r{};
        ImageToPanelRecord(pimg, g, r);
        EXPECT_TRUE(HasRecordMagic(r.magic));
        EXPECT_EQ(r.blockSize, 256);

        ModeTableImage mimg;
        for (auto& b : mimg.bytes) b = static_cast<uint8_t>(rng());
        ModeTable t{};
        ImageToModeTable(mimg, t);
        EXPECT_LE(+t.modeCount, 38);
    }
}
