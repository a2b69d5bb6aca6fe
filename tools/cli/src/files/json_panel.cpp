// The JSON form of a panel file.
#include <cstring>

#include "files/json_fields.h"
#include "files/json_form.h"
#include "text_out.h"
#include "tolvane/data_lists.h"
#include "tolvane/panel.h"

namespace cli {
namespace {

using namespace json_fields;

Json PanelFlagsToJson(const PanelRecord& r) {
    static const char* const kClassTexts[] = {"VGA 640x480", "SVGA 800x600", "XGA 1024x768", "SXGA 1280x1024",
                                              "UXGA 1600x1200"};
    const unsigned cls = ResolutionClass(r);
    Json flags;
    flags["resolutionClass"] = cls;
    int bit = -1;
    for (int b = 0; b < 5; ++b)
        if (cls == (1u << b)) bit = b;
    flags["resolutionClassText"] = bit >= 0 ? Json(kClassTexts[bit]) : Json(nullptr);
    flags["correction"] = Correction(r);
    flags["correctionText"] = ListText(kCorrections, kCorrectionCount, Correction(r));
    flags["clockInvert"] = HasPanelFlag(r, kClockInvert);
    flags["driveSet"] = HasPanelFlag(r, kDriveSet);
    flags["dualPixel"] = HasPanelFlag(r, kDualPixel);
    flags["hsyncInvert"] = HasPanelFlag(r, kHsyncInvert);
    flags["vsyncInvert"] = HasPanelFlag(r, kVsyncInvert);
    flags["useGamma"] = HasPanelFlag(r, kUseGamma);
    flags["spare"] = r.panelFlags >> 13;
    return flags;
}

uint16_t PanelFlagsFromJson(const Json& json) {
    Fields g(json, "panelFlags");
    uint16_t flags = static_cast<uint16_t>(g.Uint("resolutionClass", 31));
    flags = static_cast<uint16_t>(flags | (g.Uint("correction", 3) << kCorrectionShift));
    if (g.Bool("clockInvert")) flags |= kClockInvert;
    if (g.Bool("driveSet")) flags |= kDriveSet;
    if (g.Bool("dualPixel")) flags |= kDualPixel;
    if (g.Bool("hsyncInvert")) flags |= kHsyncInvert;
    if (g.Bool("vsyncInvert")) flags |= kVsyncInvert;
    if (g.Bool("useGamma")) flags |= kUseGamma;
    flags = static_cast<uint16_t>(flags | (g.UintOr("spare", 7, 0) << 13));
    g.NoOthers();
    return flags;
}

Json OutputDriveToJson(const PanelRecord& r) {
    Json drive;
    drive["dataLinesDrive"] = DataLinesDrive(r);
    drive["dataLinesDriveText"] = ListText(kDriveSteps, kDriveStepCount, DataLinesDrive(r) - 1);
    drive["clockDrive"] = ClockDrive(r);
    drive["clockDriveText"] = ListText(kDriveSteps, kDriveStepCount, ClockDrive(r) - 1);
    drive["controlLinesDrive"] = ControlLinesDrive(r);
    drive["controlLinesDriveText"] = ListText(kDriveSteps, kDriveStepCount, ControlLinesDrive(r) - 1);
    drive["dclkAdjust"] = DclkAdjust(r);
    drive["dclkAdjustText"] = ListText(kClockAdjustments, kClockAdjustmentCount, DclkAdjust(r));
    drive["spare"] = (r.outputDrive >> 6) & 3;
    return drive;
}

uint16_t OutputDriveFromJson(const Json& json) {
    Fields d(json, "outputDrive");
    uint16_t drive = 0;
    drive = WithOutputDriveField(drive, kDataLinesDriveMask, 0, static_cast<unsigned>(d.Uint("dataLinesDrive", 15)));
    drive =
        WithOutputDriveField(drive, kClockDriveMask, kClockDriveShift, static_cast<unsigned>(d.Uint("clockDrive", 15)));
    drive = WithOutputDriveField(drive, kControlLinesDriveMask, kControlLinesDriveShift,
                                 static_cast<unsigned>(d.Uint("controlLinesDrive", 15)));
    drive =
        WithOutputDriveField(drive, kDclkAdjustMask, kDclkAdjustShift, static_cast<unsigned>(d.Uint("dclkAdjust", 3)));
    drive = static_cast<uint16_t>(drive | (d.UintOr("spare", 3, 0) << 6));
    d.NoOthers();
    return drive;
}

uint16_t ResolutionFlagsFromJson(const Json& json) {
    Fields rf(json, "resolutionFlags");
    uint16_t v = rf.Bool("customResolution") ? kCustomResolution : 0;
    v = static_cast<uint16_t>(v | (rf.UintOr("spare", 0x7FFF, 0) << 1));
    rf.NoOthers();
    return v;
}

// The name, NUL-padded in 16 bytes; bytes after its terminator are kept as a tail.
void NameToJson(const PanelRecord& r, bool complete, Json& j) {
    const auto* name = reinterpret_cast<const uint8_t*>(r.displayName);
    std::size_t len = 0;
    while (len < 16 && name[len] != 0) ++len;
    j["displayName"] = Latin1ToUtf8(name, len);
    if (len + 1 < 16 && !AllZero(name + len + 1, 15 - len)) j["displayNameTail"] = Hex(name + len + 1, 15 - len);
    else if (complete) j["displayNameTail"] = nullptr;
}

void NameFromJson(const Json& json, Fields& f, PanelRecord& r) {
    const std::string name = f.Text("displayName");
    if (name.size() > 16) throw JsonFormError("displayName", "is longer than 16 characters");
    if (name.find('\0') != std::string::npos) throw JsonFormError("displayName", "must not hold a NUL character");
    std::memcpy(r.displayName, name.data(), name.size());
    if (f.Has("displayNameTail") && !json["displayNameTail"].is_null()) {
        if (name.size() >= 15) throw JsonFormError("displayNameTail", "has no room: the name fills the 16 bytes");
        const std::size_t tail = 15 - name.size();
        f.HexOr("displayNameTail", reinterpret_cast<uint8_t*>(r.displayName) + name.size() + 1, tail);
    }
}

void TimingToJson(const PanelRecord& r, Json& j) {
    j["colorDepth"] = r.colorDepth;
    j["interfaceText"] = InterfaceText(r);
    j["hResolution"] = r.hResolution;
    j["vResolution"] = r.vResolution;
    j["vFreqMin"] = r.vFreqMin;
    j["vFreqTyp"] = r.vFreqTyp;
    j["vFreqMax"] = r.vFreqMax;
    j["maxDisplayClock"] = r.maxDisplayClock;
    j["hMinTotal"] = r.hMinTotal;
    j["hPulseWidth"] = r.hPulseWidth;
    j["hBackPorch"] = r.hBackPorch;
    j["reserved54"] = r.reserved54;
    j["vMinTotal"] = r.vMinTotal;
    j["vPulseWidth"] = r.vPulseWidth;
    j["vBackPorch"] = r.vBackPorch;
    j["resolutionCodeA"] = r.resolutionCodeA;
    j["resolutionCodeB"] = r.resolutionCodeB;
}

void TimingFromJson(Fields& f, PanelRecord& r) {
    const auto u16 = [&f](const char* name) { return static_cast<uint16_t>(f.Uint(name, 65535)); };
    r.colorDepth = u16("colorDepth");
    r.hResolution = u16("hResolution");
    r.vResolution = u16("vResolution");
    r.vFreqMin = u16("vFreqMin");
    r.vFreqTyp = u16("vFreqTyp");
    r.vFreqMax = u16("vFreqMax");
    r.maxDisplayClock = static_cast<uint32_t>(f.Uint("maxDisplayClock", 0xFFFFFFFFu));
    r.hMinTotal = u16("hMinTotal");
    r.hPulseWidth = u16("hPulseWidth");
    r.hBackPorch = u16("hBackPorch");
    r.reserved54 = static_cast<uint16_t>(f.UintOr("reserved54", 65535, 0));
    r.vMinTotal = u16("vMinTotal");
    r.vPulseWidth = u16("vPulseWidth");
    r.vBackPorch = u16("vBackPorch");
    r.resolutionCodeA = u16("resolutionCodeA");
    r.resolutionCodeB = u16("resolutionCodeB");
}

}  // namespace

Json PanelToJson(const PanelRecord& r, bool complete) {
    Json j;
    j["format"] = kPanelFormat;
    j["version"] = 1;
    j["magic"] = Latin1ToUtf8(reinterpret_cast<const uint8_t*>(r.magic), 7);
    j["blockSize"] = r.blockSize;
    NameToJson(r, complete, j);
    j["imageHeader"] = r.imageHeader;
    j["manufacturer"] = r.manufacturer;
    j["manufacturerText"] = ListText(kManufacturers, kManufacturerCount, r.manufacturer);
    j["reserved30"] = r.reserved30;
    j["panelFlags"] = PanelFlagsToJson(r);
    TimingToJson(r, j);
    j["outputDrive"] = OutputDriveToJson(r);
    j["kesaId"] = r.kesaId;
    j["kesaIdText"] = ListText(kKesaIds, kKesaIdCount, r.kesaId);
    j["powerOnT1"] = r.powerOnT1;
    j["powerOnT2"] = r.powerOnT2;
    j["powerOffT3"] = r.powerOffT3;
    j["powerOffT4"] = r.powerOffT4;
    Json rf;
    rf["customResolution"] = IsCustomResolution(r);
    rf["spare"] = r.resolutionFlags >> 1;
    j["resolutionFlags"] = rf;
    if (!AllZero(r.reserved78, sizeof r.reserved78)) j["reserved78"] = Hex(r.reserved78, sizeof r.reserved78);
    else if (complete) j["reserved78"] = nullptr;
    if (r.reserved254 != 0 || complete) j["reserved254"] = r.reserved254;
    j["gammaTable"] = GammaArray(r.gammaTable);
    return j;
}

PanelRecord PanelFromJson(const Json& json) {
    ExpectFormat(json, kPanelFormat);
    PanelRecord r{};
    Fields f(json, "");
    MagicFromJson(f, r.magic);
    r.blockSize = static_cast<uint16_t>(f.Uint("blockSize", 65535));
    NameFromJson(json, f, r);
    r.imageHeader = static_cast<uint16_t>(f.Uint("imageHeader", 65535));
    r.manufacturer = static_cast<uint16_t>(f.Uint("manufacturer", 65535));
    r.reserved30 = static_cast<uint16_t>(f.Uint("reserved30", 65535));
    r.panelFlags = PanelFlagsFromJson(f.Sub("panelFlags"));
    TimingFromJson(f, r);
    r.outputDrive = OutputDriveFromJson(f.Sub("outputDrive"));
    r.kesaId = static_cast<uint16_t>(f.Uint("kesaId", 65535));
    r.powerOnT1 = static_cast<uint8_t>(f.Uint("powerOnT1", 255));
    r.powerOnT2 = static_cast<uint8_t>(f.Uint("powerOnT2", 255));
    r.powerOffT3 = static_cast<uint8_t>(f.Uint("powerOffT3", 255));
    r.powerOffT4 = static_cast<uint8_t>(f.Uint("powerOffT4", 255));
    r.resolutionFlags = ResolutionFlagsFromJson(f.Sub("resolutionFlags"));
    f.HexOr("reserved78", r.reserved78, sizeof r.reserved78);
    r.reserved254 = static_cast<uint16_t>(f.UintOr("reserved254", 65535, 0));
    GammaFromArray(f.Sub("gammaTable"), "gammaTable", r.gammaTable);
    f.NoOthers();
    return r;
}

}  // namespace cli
