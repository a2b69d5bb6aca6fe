// Panel and mode-table records as the editor holds them (host order), and the
// board's byte images. Every size and field offset is pinned below: the
// records are the exact content of .PNL and .MOD files.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Board images: plain byte arrays, big-endian, filled by explicit shifts.
// ---------------------------------------------------------------------------

struct GammaTable {
    uint8_t level[256];  // output level for input level i
};

struct PanelImage {
    uint8_t bytes[64];
};

// Byte offsets inside a PanelImage.
namespace panel_image {
inline constexpr std::size_t kImageHeader = 0x00;      // u16 BE
inline constexpr std::size_t kManufacturer = 0x02;     // u8
inline constexpr std::size_t kReserved30 = 0x03;       // u8
inline constexpr std::size_t kDisplayName = 0x04;      // 16 bytes
inline constexpr std::size_t kPanelFlagsLow = 0x14;    // u8
inline constexpr std::size_t kColorDepth = 0x15;       // u8
inline constexpr std::size_t kHResolution = 0x16;      // u16 BE
inline constexpr std::size_t kVResolution = 0x18;      // u16 BE
inline constexpr std::size_t kVFreqMax = 0x1A;         // u8
inline constexpr std::size_t kVFreqTyp = 0x1B;         // u8
inline constexpr std::size_t kMaxDisplayClock = 0x1C;  // u32 BE
inline constexpr std::size_t kHMinTotal = 0x20;        // u16 BE
inline constexpr std::size_t kHPulseWidth = 0x22;      // u8
inline constexpr std::size_t kHBackPorch = 0x23;       // u8
inline constexpr std::size_t kVFreqMin = 0x24;         // u8
inline constexpr std::size_t kUnused25 = 0x25;         // 3 bytes, always 0
inline constexpr std::size_t kReserved54 = 0x28;       // u16 BE
inline constexpr std::size_t kVMinTotal = 0x2A;        // u16 BE
inline constexpr std::size_t kVPulseWidth = 0x2C;      // u8
inline constexpr std::size_t kVBackPorch = 0x2D;       // u8
inline constexpr std::size_t kUnused2E = 0x2E;         // 8 bytes, always 0
inline constexpr std::size_t kResolutionCodeA = 0x36;  // u8
inline constexpr std::size_t kResolutionCodeB = 0x37;  // u8
inline constexpr std::size_t kOutputDrive = 0x38;      // u16 BE
inline constexpr std::size_t kPanelFlagsHigh = 0x3A;   // u8
inline constexpr std::size_t kPowerOnT1 = 0x3B;        // u8
inline constexpr std::size_t kPowerOnT2 = 0x3C;        // u8
inline constexpr std::size_t kPowerOffT3 = 0x3D;       // u8
inline constexpr std::size_t kPowerOffT4 = 0x3E;       // u8
inline constexpr std::size_t kKesaId = 0x3F;           // u8
}  // namespace panel_image

struct ModeTableImage {
    uint8_t bytes[768];
};

// Layout of a ModeTableImage: 38 board entries of 20 bytes, then 8 zero bytes.
namespace mode_image {
inline constexpr std::size_t kEntrySize = 20;
inline constexpr std::size_t kEntryCount = 38;
inline constexpr std::size_t kTrailer = 760;  // 8 bytes, always 0
// Offsets inside one board entry (same as in a ModeEntry); u16 fields are BE.
inline constexpr std::size_t kHFreq = 0;
inline constexpr std::size_t kHFreqTol = 2;
inline constexpr std::size_t kVFreq = 3;
inline constexpr std::size_t kVFreqTol = 5;
inline constexpr std::size_t kVTotal = 6;
inline constexpr std::size_t kVTotalTol = 8;
inline constexpr std::size_t kHTotal = 9;
inline constexpr std::size_t kActiveWidth = 11;
inline constexpr std::size_t kActiveHeight = 13;
inline constexpr std::size_t kHStart = 15;
inline constexpr std::size_t kVStart = 17;
inline constexpr std::size_t kModeFlags = 19;
}  // namespace mode_image

// ---------------------------------------------------------------------------
// PanelRecord: 512 bytes, the content of a .PNL file.
// ---------------------------------------------------------------------------

inline constexpr char kRecordMagic[8] = {'V', 'A', 'N', 'T', 'R', 'L', '2', '\0'};

struct PanelRecord {
    char magic[8];             //   0 "VANTRL2" + NUL
    uint16_t blockSize;        //   8 always 256
    char displayName[16];      //  10 NUL-padded, no terminator when 16 long
    uint16_t imageHeader;      //  26
    uint16_t manufacturer;     //  28 index into kManufacturers
    uint16_t reserved30;       //  30
    uint16_t panelFlags;       //  32 see kPanelFlag* masks
    uint16_t colorDepth;       //  34 6 or 8
    uint16_t hResolution;      //  36
    uint16_t vResolution;      //  38
    uint16_t vFreqTyp;         //  40 Hz
    uint16_t vFreqMax;         //  42 Hz
    uint32_t maxDisplayClock;  //  44 kHz
    uint16_t hMinTotal;        //  48
    uint16_t hPulseWidth;      //  50
    uint16_t hBackPorch;       //  52
    uint16_t reserved54;       //  54
    uint16_t vMinTotal;        //  56
    uint16_t vPulseWidth;      //  58
    uint16_t vBackPorch;       //  60
    uint16_t resolutionCodeA;  //  62
    uint16_t resolutionCodeB;  //  64
    uint16_t outputDrive;      //  66 see OutputDrive accessors
    uint16_t kesaId;           //  68 0 = automatic
    uint8_t powerOnT1;         //  70 units of 10 ms
    uint8_t powerOnT2;         //  71
    uint8_t powerOffT3;        //  72
    uint8_t powerOffT4;        //  73
    uint16_t resolutionFlags;  //  74 bit 0: customResolution
    uint16_t vFreqMin;         //  76 Hz
    uint8_t reserved78[176];   //  78 always 0
    uint16_t reserved254;      // 254 always 0
    GammaTable gammaTable;     // 256
};

static_assert(sizeof(GammaTable) == 256);
static_assert(sizeof(PanelImage) == 64);
static_assert(sizeof(ModeTableImage) == 768);
static_assert(sizeof(PanelRecord) == 512);
static_assert(offsetof(PanelRecord, blockSize) == 8);
static_assert(offsetof(PanelRecord, displayName) == 10);
static_assert(offsetof(PanelRecord, imageHeader) == 26);
static_assert(offsetof(PanelRecord, manufacturer) == 28);
static_assert(offsetof(PanelRecord, reserved30) == 30);
static_assert(offsetof(PanelRecord, panelFlags) == 32);
static_assert(offsetof(PanelRecord, colorDepth) == 34);
static_assert(offsetof(PanelRecord, hResolution) == 36);
static_assert(offsetof(PanelRecord, vResolution) == 38);
static_assert(offsetof(PanelRecord, vFreqTyp) == 40);
static_assert(offsetof(PanelRecord, vFreqMax) == 42);
static_assert(offsetof(PanelRecord, maxDisplayClock) == 44);
static_assert(offsetof(PanelRecord, hMinTotal) == 48);
static_assert(offsetof(PanelRecord, hPulseWidth) == 50);
static_assert(offsetof(PanelRecord, hBackPorch) == 52);
static_assert(offsetof(PanelRecord, reserved54) == 54);
static_assert(offsetof(PanelRecord, vMinTotal) == 56);
static_assert(offsetof(PanelRecord, vPulseWidth) == 58);
static_assert(offsetof(PanelRecord, vBackPorch) == 60);
static_assert(offsetof(PanelRecord, resolutionCodeA) == 62);
static_assert(offsetof(PanelRecord, resolutionCodeB) == 64);
static_assert(offsetof(PanelRecord, outputDrive) == 66);
static_assert(offsetof(PanelRecord, kesaId) == 68);
static_assert(offsetof(PanelRecord, powerOnT1) == 70);
static_assert(offsetof(PanelRecord, powerOnT2) == 71);
static_assert(offsetof(PanelRecord, powerOffT3) == 72);
static_assert(offsetof(PanelRecord, powerOffT4) == 73);
static_assert(offsetof(PanelRecord, resolutionFlags) == 74);
static_assert(offsetof(PanelRecord, vFreqMin) == 76);
static_assert(offsetof(PanelRecord, reserved78) == 78);
static_assert(offsetof(PanelRecord, reserved254) == 254);
static_assert(offsetof(PanelRecord, gammaTable) == 256);

// panelFlags bits.
inline constexpr uint16_t kResolutionClassMask = 0x001F;  // exactly one of the kClass* bits
inline constexpr uint16_t kCorrectionMask = 0x0060;       // 0 "Unmodified", 1 "Schema 1"
inline constexpr unsigned kCorrectionShift = 5;
inline constexpr uint16_t kClockInvert = 0x0080;
inline constexpr uint16_t kDriveSet = 0x0100;
inline constexpr uint16_t kDualPixel = 0x0200;
inline constexpr uint16_t kHsyncInvert = 0x0400;
inline constexpr uint16_t kVsyncInvert = 0x0800;
inline constexpr uint16_t kUseGamma = 0x1000;

// Resolution classes (values of the resolutionClass bits).
inline constexpr uint16_t kClassVGA = 1;    // 640 x 480
inline constexpr uint16_t kClassSVGA = 2;   // 800 x 600
inline constexpr uint16_t kClassXGA = 4;    // 1024 x 768
inline constexpr uint16_t kClassSXGA = 8;   // 1280 x 1024
inline constexpr uint16_t kClassUXGA = 16;  // 1600 x 1200

// resolutionFlags bits.
inline constexpr uint16_t kCustomResolution = 0x0001;

// outputDrive fields.
inline constexpr uint16_t kDataLinesDriveMask = 0x000F;  // step 1..7
inline constexpr uint16_t kDclkAdjustMask = 0x0030;      // 0..3
inline constexpr unsigned kDclkAdjustShift = 4;
inline constexpr uint16_t kClockDriveMask = 0x0F00;  // step 1..7
inline constexpr unsigned kClockDriveShift = 8;
inline constexpr uint16_t kControlLinesDriveMask = 0xF000;  // step 1..7
inline constexpr unsigned kControlLinesDriveShift = 12;

inline bool HasPanelFlag(const PanelRecord& r, uint16_t mask) { return (r.panelFlags & mask) != 0; }
inline void SetPanelFlag(PanelRecord& r, uint16_t mask, bool on) {
    r.panelFlags = static_cast<uint16_t>(on ? (r.panelFlags | mask) : (r.panelFlags & ~mask));
}
inline uint16_t ResolutionClass(const PanelRecord& r) { return r.panelFlags & kResolutionClassMask; }
inline void SetResolutionClass(PanelRecord& r, uint16_t cls) {
    r.panelFlags = static_cast<uint16_t>((r.panelFlags & ~kResolutionClassMask) | (cls & kResolutionClassMask));
}
// Class of a typed-in width: up to 640 -> VGA, 800 -> SVGA, 1024 -> XGA, 1280 -> SXGA, wider -> UXGA.
inline uint16_t ResolutionClassForWidth(unsigned width) {
    if (width <= 640) return kClassVGA;
    if (width <= 800) return kClassSVGA;
    if (width <= 1024) return kClassXGA;
    if (width <= 1280) return kClassSXGA;
    return kClassUXGA;
}
inline unsigned Correction(const PanelRecord& r) { return (r.panelFlags & kCorrectionMask) >> kCorrectionShift; }
inline void SetCorrection(PanelRecord& r, unsigned index) {
    r.panelFlags =
        static_cast<uint16_t>((r.panelFlags & ~kCorrectionMask) | ((index << kCorrectionShift) & kCorrectionMask));
}
inline bool IsCustomResolution(const PanelRecord& r) { return (r.resolutionFlags & kCustomResolution) != 0; }
inline void SetCustomResolution(PanelRecord& r, bool on) {
    r.resolutionFlags =
        static_cast<uint16_t>(on ? (r.resolutionFlags | kCustomResolution) : (r.resolutionFlags & ~kCustomResolution));
}

inline unsigned OutputDriveField(uint16_t drive, uint16_t mask, unsigned shift) { return (drive & mask) >> shift; }
inline uint16_t WithOutputDriveField(uint16_t drive, uint16_t mask, unsigned shift, unsigned value) {
    return static_cast<uint16_t>((drive & ~mask) | ((value << shift) & mask));
}
inline unsigned DataLinesDrive(const PanelRecord& r) { return OutputDriveField(r.outputDrive, kDataLinesDriveMask, 0); }
inline unsigned DclkAdjust(const PanelRecord& r) {
    return OutputDriveField(r.outputDrive, kDclkAdjustMask, kDclkAdjustShift);
}
inline unsigned ClockDrive(const PanelRecord& r) {
    return OutputDriveField(r.outputDrive, kClockDriveMask, kClockDriveShift);
}
inline unsigned ControlLinesDrive(const PanelRecord& r) {
    return OutputDriveField(r.outputDrive, kControlLinesDriveMask, kControlLinesDriveShift);
}
inline void SetDataLinesDrive(PanelRecord& r, unsigned step) {
    r.outputDrive = WithOutputDriveField(r.outputDrive, kDataLinesDriveMask, 0, step);
}
inline void SetDclkAdjust(PanelRecord& r, unsigned adj) {
    r.outputDrive = WithOutputDriveField(r.outputDrive, kDclkAdjustMask, kDclkAdjustShift, adj);
}
inline void SetClockDrive(PanelRecord& r, unsigned step) {
    r.outputDrive = WithOutputDriveField(r.outputDrive, kClockDriveMask, kClockDriveShift, step);
}
inline void SetControlLinesDrive(PanelRecord& r, unsigned step) {
    r.outputDrive = WithOutputDriveField(r.outputDrive, kControlLinesDriveMask, kControlLinesDriveShift, step);
}

// ---------------------------------------------------------------------------
// ModeTable: 2116 bytes, packed, the content of a .MOD file.
// Fields of a packed struct may be read and assigned directly, but a
// reference or pointer to one must not be taken: most u16 fields sit at odd
// addresses. Anything taking `const T&` (std::min/max, QCOMPARE, EXPECT_EQ)
// must get a copy: `uint16_t{e.hTotal}` or `+e.hTotal`.
// ---------------------------------------------------------------------------

inline constexpr unsigned kMaxModes = 38;

#pragma pack(push, 1)
struct ModeEntry {
    uint16_t hFreq;         //  0 units of 0.1 kHz
    uint8_t hFreqTol;       //  2 units of 0.1 kHz
    uint16_t vFreq;         //  3 units of 0.1 Hz
    uint8_t vFreqTol;       //  5 units of 0.1 Hz
    uint16_t vTotal;        //  6 lines
    uint8_t vTotalTol;      //  8 lines
    uint16_t hTotal;        //  9 pixels
    uint16_t activeWidth;   // 11 pixels; 0 marks an empty slot
    uint16_t activeHeight;  // 13 lines;  0 marks an empty slot
    uint16_t hStart;        // 15 pixels
    uint16_t vStart;        // 17 lines
    uint8_t modeFlags;      // 19 scan type and input enables
    uint8_t reserved[32];   // 20 never sent to the board
};

struct ModeTable {
    char magic[8];          //    0 "VANTRL2" + NUL
    uint16_t headerWord;    //    8 always 256
    uint16_t modeCount;     //   10 0..38
    ModeEntry entries[38];  //   12
    uint8_t reserved[128];  // 1988 always 0
};
#pragma pack(pop)

static_assert(sizeof(ModeEntry) == 52);
static_assert(alignof(ModeEntry) == 1);
static_assert(offsetof(ModeEntry, hFreq) == 0);
static_assert(offsetof(ModeEntry, hFreqTol) == 2);
static_assert(offsetof(ModeEntry, vFreq) == 3);
static_assert(offsetof(ModeEntry, vFreqTol) == 5);
static_assert(offsetof(ModeEntry, vTotal) == 6);
static_assert(offsetof(ModeEntry, vTotalTol) == 8);
static_assert(offsetof(ModeEntry, hTotal) == 9);
static_assert(offsetof(ModeEntry, activeWidth) == 11);
static_assert(offsetof(ModeEntry, activeHeight) == 13);
static_assert(offsetof(ModeEntry, hStart) == 15);
static_assert(offsetof(ModeEntry, vStart) == 17);
static_assert(offsetof(ModeEntry, modeFlags) == 19);
static_assert(offsetof(ModeEntry, reserved) == 20);
static_assert(sizeof(ModeTable) == 2116);
static_assert(offsetof(ModeTable, headerWord) == 8);
static_assert(offsetof(ModeTable, modeCount) == 10);
static_assert(offsetof(ModeTable, entries) == 12);
static_assert(offsetof(ModeTable, reserved) == 1988);

// modeFlags bits.
inline constexpr uint8_t kScanTypeMask = 0x0F;  // 0 Normal, 1 Overlapped 720x400, 2 Overlapped 640x350, 3 Interlaced
inline constexpr uint8_t kEnableAnalog = 0x10;
inline constexpr uint8_t kEnableDigital = 0x20;
inline constexpr uint8_t kEnableVideo = 0x40;
inline constexpr uint8_t kEnableMask = kEnableAnalog | kEnableDigital | kEnableVideo;

inline unsigned ScanType(const ModeEntry& e) { return e.modeFlags & kScanTypeMask; }
inline void SetScanType(ModeEntry& e, unsigned type) {
    e.modeFlags = static_cast<uint8_t>((e.modeFlags & ~kScanTypeMask) | (type & kScanTypeMask));
}
inline bool HasModeFlag(const ModeEntry& e, uint8_t mask) { return (e.modeFlags & mask) != 0; }
inline void SetModeFlag(ModeEntry& e, uint8_t mask, bool on) {
    e.modeFlags = static_cast<uint8_t>(on ? (e.modeFlags | mask) : (e.modeFlags & ~mask));
}
// A slot is in use when both active width and height are non-zero.
inline bool IsModeEntryUsed(const ModeEntry& e) { return e.activeWidth != 0 && e.activeHeight != 0; }
