#include "tolvane/panel.h"

#include <cstring>

#include "byte_io.h"

using namespace byte_io;
namespace pi = panel_image;

uint8_t LowByte(uint32_t value) { return static_cast<uint8_t>(value & 0xFFu); }

uint16_t WidenByte(uint8_t value) { return value; }

uint16_t Swap16(uint16_t value) { return static_cast<uint16_t>((value << 8) | (value >> 8)); }

uint32_t Swap32(uint32_t value) {
    return (uint32_t{Swap16(static_cast<uint16_t>(value & 0xFFFFu))} << 16) |
           Swap16(static_cast<uint16_t>(value >> 16));
}

bool HasRecordMagic(const char magic[8]) {
    for (int i = 0; i < 7; ++i) {
        char c = magic[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != kRecordMagic[i]) return false;
    }
    return magic[7] == '\0';
}

void SetPanelDefaults(PanelRecord& r) {
    std::memcpy(r.magic, kRecordMagic, sizeof r.magic);
    r.blockSize = 256;
    r.displayName[0] = '\0';  // the rest of the name keeps its bytes
    r.imageHeader = 256;
    r.manufacturer = 0;
    r.reserved30 = 0;
    r.panelFlags = kClassXGA | kHsyncInvert | kVsyncInvert;  // 0x0C04
    r.colorDepth = 6;
    r.hResolution = 1024;
    r.vResolution = 768;
    r.vFreqMin = 0;
    r.vFreqTyp = 0;
    r.vFreqMax = 0;
    r.maxDisplayClock = 0;
    r.hMinTotal = 0;
    r.hPulseWidth = 0;
    r.hBackPorch = 0;
    r.reserved54 = 0;
    r.vMinTotal = 0;
    r.vPulseWidth = 0;
    r.vBackPorch = 0;
    r.resolutionCodeA = 221;
    r.resolutionCodeB = 17;
    r.outputDrive = 0x1101;
    r.kesaId = 0;
    // Offsets 78..255 (vFreqMin at 76 is set above); T1..T4 and
    // resolutionFlags at 70..75 are deliberately left as they were.
    std::memset(r.reserved78, 0, sizeof r.reserved78);
    r.reserved254 = 0;
    for (int i = 0; i < 256; ++i) r.gammaTable.level[i] = static_cast<uint8_t>(i);
}

void ApplyResolutionClass(PanelRecord& r) {
    const uint16_t cls = ResolutionClass(r);
    if (!IsCustomResolution(r)) {
        switch (cls) {
            case kClassVGA:
                r.hResolution = 640;
                r.vResolution = 480;
                break;
            case kClassSVGA:
                r.hResolution = 800;
                r.vResolution = 600;
                break;
            case kClassXGA:
                r.hResolution = 1024;
                r.vResolution = 768;
                break;
            case kClassSXGA:
                r.hResolution = 1280;
                r.vResolution = 1024;
                break;
            case kClassUXGA:
                r.hResolution = 1600;
                r.vResolution = 1200;
                break;
            default:
                break;
        }
    }
    switch (cls) {
        case kClassVGA:
        case kClassSVGA:
            r.resolutionCodeA = 218;
            r.resolutionCodeB = 17;
            break;
        case kClassXGA:
            r.resolutionCodeA = 221;
            r.resolutionCodeB = 17;
            break;
        case kClassSXGA:
        case kClassUXGA:
            r.resolutionCodeA = 204;
            r.resolutionCodeB = 9;
            break;
        default:
            break;
    }
}

uint16_t EffectiveKesaId(const PanelRecord& r) {
    if (r.kesaId != 0) return r.kesaId;
    switch (r.hResolution) {
        case 640:
            return 5;
        case 800:
            return 7;
        case 1024:
            return HasPanelFlag(r, kDualPixel) ? 12 : 6;
        case 1280:
            return 1;
        default:
            return 0;
    }
}

// Copies a name up to its first NUL or 16 characters and pads with NUL.
static void CopyName(const char* from, char* to) {
    std::size_t n = 0;
    while (n < 16 && from[n] != '\0') {
        to[n] = from[n];
        ++n;
    }
    for (; n < 16; ++n) to[n] = '\0';
}

void PanelRecordToImage(const PanelRecord& record, PanelImage& image, GammaTable& gammaOut) {
    const PanelRecord r = record;  // work on a copy: the caller's record never changes
    const uint16_t kesa = EffectiveKesaId(r);
    uint8_t* b = image.bytes;
    std::memset(b, 0, sizeof image.bytes);

    CopyName(r.displayName, reinterpret_cast<char*>(b + pi::kDisplayName));
    PutBE16(b + pi::kImageHeader, r.imageHeader);
    b[pi::kManufacturer] = LowByte(r.manufacturer);
    b[pi::kReserved30] = LowByte(r.reserved30);
    b[pi::kPanelFlagsLow] = LowByte(r.panelFlags);
    b[pi::kColorDepth] = LowByte(r.colorDepth);
    PutBE16(b + pi::kHResolution, r.hResolution);
    PutBE16(b + pi::kVResolution, r.vResolution);
    b[pi::kVFreqMax] = LowByte(r.vFreqMax);
    b[pi::kVFreqTyp] = LowByte(r.vFreqTyp);
    b[pi::kVFreqMin] = LowByte(r.vFreqMin);
    PutBE32(b + pi::kMaxDisplayClock, r.maxDisplayClock);
    PutBE16(b + pi::kHMinTotal, r.hMinTotal);
    b[pi::kHPulseWidth] = LowByte(r.hPulseWidth);
    b[pi::kHBackPorch] = LowByte(r.hBackPorch);
    PutBE16(b + pi::kReserved54, r.reserved54);
    PutBE16(b + pi::kVMinTotal, r.vMinTotal);
    b[pi::kVPulseWidth] = LowByte(r.vPulseWidth);
    b[pi::kVBackPorch] = LowByte(r.vBackPorch);
    b[pi::kResolutionCodeA] = LowByte(r.resolutionCodeA);
    b[pi::kResolutionCodeB] = LowByte(r.resolutionCodeB);
    PutBE16(b + pi::kOutputDrive, r.outputDrive);
    b[pi::kPanelFlagsHigh] = LowByte(static_cast<uint32_t>(r.panelFlags) >> 8);
    b[pi::kKesaId] = LowByte(kesa);
    b[pi::kPowerOnT1] = r.powerOnT1;
    b[pi::kPowerOnT2] = r.powerOnT2;
    b[pi::kPowerOffT3] = r.powerOffT3;
    b[pi::kPowerOffT4] = r.powerOffT4;

    if (HasPanelFlag(r, kUseGamma)) gammaOut = r.gammaTable;
}

void ImageToPanelRecord(const PanelImage& image, const GammaTable& gamma, PanelRecord& p) {
    const uint8_t* b = image.bytes;

    CopyName(reinterpret_cast<const char*>(b + pi::kDisplayName), p.displayName);
    p.imageHeader = GetBE16(b + pi::kImageHeader);
    p.manufacturer = WidenByte(b[pi::kManufacturer]);
    p.reserved30 = WidenByte(b[pi::kReserved30]);
    p.panelFlags = WidenByte(b[pi::kPanelFlagsLow]);
    p.colorDepth = WidenByte(b[pi::kColorDepth]);
    p.hResolution = GetBE16(b + pi::kHResolution);
    p.vResolution = GetBE16(b + pi::kVResolution);
    p.vFreqMax = WidenByte(b[pi::kVFreqMax]);
    p.vFreqTyp = WidenByte(b[pi::kVFreqTyp]);
    p.vFreqMin = WidenByte(b[pi::kVFreqMin]);
    p.maxDisplayClock = GetBE32(b + pi::kMaxDisplayClock);
    p.hMinTotal = GetBE16(b + pi::kHMinTotal);
    p.hPulseWidth = WidenByte(b[pi::kHPulseWidth]);
    p.hBackPorch = WidenByte(b[pi::kHBackPorch]);
    p.reserved54 = GetBE16(b + pi::kReserved54);
    p.vMinTotal = GetBE16(b + pi::kVMinTotal);
    p.vPulseWidth = WidenByte(b[pi::kVPulseWidth]);
    p.vBackPorch = WidenByte(b[pi::kVBackPorch]);
    p.resolutionCodeA = WidenByte(b[pi::kResolutionCodeA]);
    p.resolutionCodeB = WidenByte(b[pi::kResolutionCodeB]);
    p.outputDrive = GetBE16(b + pi::kOutputDrive);

    p.panelFlags = static_cast<uint16_t>(p.panelFlags | (WidenByte(b[pi::kPanelFlagsHigh]) << 8));

    p.kesaId = WidenByte(b[pi::kKesaId]);
    p.powerOnT1 = b[pi::kPowerOnT1];
    p.powerOnT2 = b[pi::kPowerOnT2];
    p.powerOffT3 = b[pi::kPowerOffT3];
    p.powerOffT4 = b[pi::kPowerOffT4];

    p.blockSize = 256;
    std::memcpy(p.magic, kRecordMagic, sizeof p.magic);
    std::memset(p.reserved78, 0, sizeof p.reserved78);
    p.reserved254 = 0;

    if (HasPanelFlag(p, kUseGamma)) p.gammaTable = gamma;
    // resolutionFlags is not carried by the image and keeps its value.
}
