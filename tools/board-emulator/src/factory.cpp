// Factory content of the emulated board's flash: what a board leaving production
// holds. Four panel slots (PanelImage plus gamma table) and a mode table of the
// common VGA to SXGA modes; everything else is erased flash (0xFF).
#include "vantrel_board/board.h"

#include <cmath>
#include <cstring>

namespace vantrel_board {
namespace {

// Offsets inside a 64-byte PanelImage (big-endian fields).
namespace img {
constexpr int kHeader = 0x00;
constexpr int kManufacturer = 0x02;
constexpr int kReserved30 = 0x03;
constexpr int kName = 0x04;
constexpr int kFlagsLow = 0x14;
constexpr int kColorDepth = 0x15;
constexpr int kHResolution = 0x16;
constexpr int kVResolution = 0x18;
constexpr int kVFreqMax = 0x1A;
constexpr int kVFreqTyp = 0x1B;
constexpr int kMaxDisplayClock = 0x1C;
constexpr int kHMinTotal = 0x20;
constexpr int kHPulseWidth = 0x22;
constexpr int kHBackPorch = 0x23;
constexpr int kVFreqMin = 0x24;
constexpr int kReserved54 = 0x28;
constexpr int kVMinTotal = 0x2A;
constexpr int kVPulseWidth = 0x2C;
constexpr int kVBackPorch = 0x2D;
constexpr int kResolutionCodeA = 0x36;
constexpr int kResolutionCodeB = 0x37;
constexpr int kOutputDrive = 0x38;
constexpr int kFlagsHigh = 0x3A;
constexpr int kPowerOnT1 = 0x3B;
constexpr int kPowerOnT2 = 0x3C;
constexpr int kPowerOffT3 = 0x3D;
constexpr int kPowerOffT4 = 0x3E;
constexpr int kKesaId = 0x3F;
}  // namespace img

// High byte of the panel flags.
constexpr uint8_t kDriveSet = 0x01;
constexpr uint8_t kDualPixel = 0x02;
constexpr uint8_t kHsyncInvert = 0x04;
constexpr uint8_t kVsyncInvert = 0x08;
constexpr uint8_t kUseGamma = 0x10;

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

struct FactoryPanel {
    const char* name;
    uint8_t manufacturer;
    uint8_t resolutionClass;  // 1 VGA, 2 SVGA, 4 XGA, 8 SXGA
    uint8_t flagsHigh;
    uint8_t colorDepth;
    uint16_t hResolution, vResolution;
    uint8_t vFreqMin, vFreqTyp, vFreqMax;
    uint32_t maxDisplayClockKHz;
    uint16_t hMinTotal;
    uint8_t hPulseWidth, hBackPorch;
    uint16_t vMinTotal;
    uint8_t vPulseWidth, vBackPorch;
    uint8_t codeA, codeB;
    uint16_t outputDrive;
    uint8_t kesaId;
    uint8_t t1, t2, t3, t4;  // power sequencing in 10 ms
};

// Slot 0: 15" XGA 1x18 bit; slot 1: 17" SXGA 2x24 bit with its own gamma curve;
// slot 2: 10.4" SVGA; slot 3: 6.4" VGA.
constexpr FactoryPanel kPanels[kPanelSlots] = {
    {"LQ150X1DG11",
     3,
     4,
     kHsyncInvert | kVsyncInvert,
     6,
     1024,
     768,
     56,
     60,
     75,
     80000,
     1184,
     136,
     160,
     790,
     6,
     29,
     221,
     17,
     0x3313,
     6,
     5,
     20,
     20,
     10},
    {"NL128102AC28-01",
     2,
     8,
     kDriveSet | kDualPixel | kHsyncInvert | kVsyncInvert | kUseGamma,
     8,
     1280,
     1024,
     50,
     60,
     75,
     135000,
     844,
     56,
     124,
     1066,
     3,
     38,
     204,
     9,
     0x4423,
     1,
     10,
     25,
     25,
     10},
    {"LTM10C209",
     4,
     2,
     kHsyncInvert | kVsyncInvert,
     6,
     800,
     600,
     56,
     60,
     72,
     40000,
     1056,
     128,
     88,
     628,
     4,
     23,
     218,
     17,
     0x2212,
     7,
     5,
     15,
     15,
     5},
    {"LQ64D343", 3, 1, 0, 6, 640, 480, 56, 60, 75, 28000, 800, 96, 48, 525, 2, 33, 218, 17, 0x1101, 5, 3, 10, 10, 3},
};

struct FactoryMode {
    uint16_t hFreq;  // 0.1 kHz
    uint8_t hFreqTol;
    uint16_t vFreq;  // 0.1 Hz
    uint8_t vFreqTol;
    uint16_t vTotal;
    uint8_t vTotalTol;
    uint16_t hTotal, width, height, hStart, vStart;
    uint8_t flags;  // scan type | 0x10 analog | 0x20 digital | 0x40 video
};

constexpr FactoryMode kModes[] = {
    {315, 10, 701, 10, 449, 4, 900, 720, 400, 162, 37, 0x31},      // 720x400 70 Hz text
    {315, 10, 701, 10, 449, 4, 800, 640, 350, 144, 62, 0x32},      // 640x350 70 Hz
    {315, 10, 599, 10, 525, 4, 800, 640, 480, 141, 25, 0x30},      // 640x480 60 Hz
    {379, 10, 728, 10, 520, 4, 832, 640, 480, 168, 31, 0x30},      // 640x480 72 Hz
    {375, 10, 750, 10, 500, 4, 840, 640, 480, 184, 19, 0x30},      // 640x480 75 Hz
    {433, 10, 850, 10, 509, 4, 832, 640, 480, 136, 28, 0x30},      // 640x480 85 Hz
    {351, 10, 562, 10, 625, 4, 1024, 800, 600, 200, 24, 0x30},     // 800x600 56 Hz
    {379, 10, 603, 10, 628, 4, 1056, 800, 600, 216, 27, 0x30},     // 800x600 60 Hz
    {481, 10, 722, 10, 666, 4, 1040, 800, 600, 184, 29, 0x30},     // 800x600 72 Hz
    {469, 10, 750, 10, 625, 4, 1056, 800, 600, 240, 24, 0x30},     // 800x600 75 Hz
    {537, 10, 851, 10, 631, 4, 1048, 800, 600, 216, 30, 0x30},     // 800x600 85 Hz
    {484, 10, 600, 10, 806, 4, 1344, 1024, 768, 296, 35, 0x30},    // 1024x768 60 Hz
    {565, 10, 701, 10, 806, 4, 1328, 1024, 768, 280, 35, 0x30},    // 1024x768 70 Hz
    {600, 10, 750, 10, 800, 4, 1312, 1024, 768, 272, 31, 0x30},    // 1024x768 75 Hz
    {687, 10, 850, 10, 808, 4, 1376, 1024, 768, 304, 39, 0x30},    // 1024x768 85 Hz
    {675, 10, 750, 10, 900, 4, 1600, 1152, 864, 384, 35, 0x30},    // 1152x864 75 Hz
    {600, 10, 600, 10, 1000, 4, 1800, 1280, 960, 424, 39, 0x30},   // 1280x960 60 Hz
    {640, 10, 600, 10, 1066, 4, 1688, 1280, 1024, 360, 41, 0x30},  // 1280x1024 60 Hz
    {800, 10, 750, 10, 1066, 4, 1688, 1280, 1024, 392, 41, 0x30},  // 1280x1024 75 Hz
    {911, 10, 850, 10, 1072, 4, 1728, 1280, 1024, 384, 47, 0x30},  // 1280x1024 85 Hz
    {157, 10, 599, 20, 525, 4, 858, 720, 480, 122, 36, 0x43},      // 720x480 interlaced video
};
static_assert(sizeof(kModes) / sizeof(kModes[0]) <= 38, "the board keeps at most 38 modes");

void WritePanelImage(uint8_t* p, const FactoryPanel& panel) {
    std::memset(p, 0, kPanelImageSize);
    Put16(p + img::kHeader, 256);
    p[img::kManufacturer] = panel.manufacturer;
    p[img::kReserved30] = 0;
    std::size_t len = std::strlen(panel.name);
    std::memcpy(p + img::kName, panel.name, len < 16 ? len : 16);
    p[img::kFlagsLow] = panel.resolutionClass;
    p[img::kColorDepth] = panel.colorDepth;
    Put16(p + img::kHResolution, panel.hResolution);
    Put16(p + img::kVResolution, panel.vResolution);
    p[img::kVFreqMax] = panel.vFreqMax;
    p[img::kVFreqTyp] = panel.vFreqTyp;
    Put32(p + img::kMaxDisplayClock, panel.maxDisplayClockKHz);
    Put16(p + img::kHMinTotal, panel.hMinTotal);
    p[img::kHPulseWidth] = panel.hPulseWidth;
    p[img::kHBackPorch] = panel.hBackPorch;
    p[img::kVFreqMin] = panel.vFreqMin;
    Put16(p + img::kReserved54, 0);
    Put16(p + img::kVMinTotal, panel.vMinTotal);
    p[img::kVPulseWidth] = panel.vPulseWidth;
    p[img::kVBackPorch] = panel.vBackPorch;
    p[img::kResolutionCodeA] = panel.codeA;
    p[img::kResolutionCodeB] = panel.codeB;
    Put16(p + img::kOutputDrive, panel.outputDrive);
    p[img::kFlagsHigh] = panel.flagsHigh;
    p[img::kPowerOnT1] = panel.t1;
    p[img::kPowerOnT2] = panel.t2;
    p[img::kPowerOffT3] = panel.t3;
    p[img::kPowerOffT4] = panel.t4;
    p[img::kKesaId] = panel.kesaId;
}

void WriteModeEntry(uint8_t* p, const FactoryMode& m) {
    Put16(p + 0, m.hFreq);
    p[2] = m.hFreqTol;
    Put16(p + 3, m.vFreq);
    p[5] = m.vFreqTol;
    Put16(p + 6, m.vTotal);
    p[8] = m.vTotalTol;
    Put16(p + 9, m.hTotal);
    Put16(p + 11, m.width);
    Put16(p + 13, m.height);
    Put16(p + 15, m.hStart);
    Put16(p + 17, m.vStart);
    p[19] = m.flags;
}

}  // namespace

std::vector<uint8_t> FactoryFlash() {
    std::vector<uint8_t> flash(kFlashSize, 0xFF);

    uint8_t* modes = flash.data() + kModeTableAddress;
    std::memset(modes, 0, kModeTableSize);
    for (std::size_t i = 0; i < sizeof(kModes) / sizeof(kModes[0]); ++i) WriteModeEntry(modes + 20 * i, kModes[i]);

    for (int slot = 0; slot < kPanelSlots; ++slot) {
        const FactoryPanel& panel = kPanels[slot];
        WritePanelImage(flash.data() + kPanelImageBase + kPanelImageSize * slot, panel);
        uint8_t* gamma = flash.data() + kGammaBase + kGammaSize * slot;
        for (int i = 0; i < 256; ++i) {
            if (panel.flagsHigh & kUseGamma) {
                // A display gamma of 2.2 corrected towards 1.8: out = 255 * (in/255)^(1.8/2.2).
                double level = 255.0 * std::pow(i / 255.0, 1.8 / 2.2);
                gamma[i] = static_cast<uint8_t>(std::lround(level));
            } else {
                gamma[i] = static_cast<uint8_t>(i);
            }
        }
    }
    return flash;
}

std::array<uint8_t, 256> FactoryI2cIdentification() {
    std::array<uint8_t, 256> d{};
    const char id[] = "VANTREL-2";
    d[0] = 0x56;  // chip id, as register 0
    d[1] = 0x32;
    d[2] = 0x02;  // revision, as register 1
    d[3] = 0x01;
    std::memcpy(d.data() + 0x10, id, sizeof id - 1);
    return d;
}

std::array<uint8_t, 256> FactoryEdid() {
    // The EDID 1.4 of the attached XGA panel: digital input, 6 bits per
    // colour, 30 x 23 cm, and as its preferred timing the XGA 65 MHz timing
    // of the default panel (1024x768 at 60 Hz, negative syncs).
    std::array<uint8_t, 256> d{};
    const uint8_t head[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00,  // EDID header
                            0x59, 0x82, 0x02, 0x07, 0x01, 0x00, 0x00, 0x00,  // maker "VLB", product, serial
                            0x01, 0x22, 0x01, 0x04,                          // week, year, version 1.4
                            0x90, 30,   23,   0x78, 0x02};  // digital 6 bits, size in cm, gamma 2.2, features
    std::memcpy(d.data(), head, sizeof head);
    d[0x24] = 0x08;                                         // established timing 1024x768@60
    for (std::size_t i = 0x26; i < 0x36; ++i) d[i] = 0x01;  // no standard timings
    // Preferred detailed timing: 65.00 MHz; 1024 active, 320 blanking (front
    // porch 24, sync 136); 768 active, 38 blanking (front porch 3, sync 6);
    // image 304 x 228 mm; separate digital syncs, both negative.
    const uint8_t timing[] = {0x64, 0x19, 0x00, 0x40, 0x41, 0x00, 0x26, 0x30, 0x18,
                              0x88, 0x36, 0x00, 0x30, 0xE4, 0x10, 0x00, 0x00, 0x18};
    std::memcpy(d.data() + 0x36, timing, sizeof timing);
    // Range limits only (no timing formula): 56..75 Hz, 30..60 kHz, pixel
    // clock up to 70 MHz.
    const uint8_t range[] = {0x00, 0x00, 0x00, 0xFD, 0x00, 56,   75,   30,   60,
                             7,    0x01, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
    std::memcpy(d.data() + 0x48, range, sizeof range);
    // Monitor name descriptor.
    const uint8_t name[] = {0x00, 0x00, 0x00, 0xFC, 0x00, 'V', 'A', 'N',  'T',
                            'R',  'E',  'L',  ' ',  'L',  'C', 'D', 0x0A, 0x20};
    std::memcpy(d.data() + 0x5A, name, sizeof name);
    // The fourth descriptor is unused (dummy descriptor).
    d[0x6C + 3] = 0x10;
    uint8_t sum = 0;
    for (int i = 0; i < 127; ++i) sum = static_cast<uint8_t>(sum + d[static_cast<std::size_t>(i)]);
    d[127] = static_cast<uint8_t>(0x100 - sum);
    return d;
}

}  // namespace vantrel_board
