#include "files/json_form.h"

#include <cstring>
#include <set>

#include "text_out.h"
#include "tolvane/data_lists.h"
#include "tolvane/panel.h"

namespace cli {
namespace {

// ---------------------------------------------------------------------------
// Bytes in JSON: texts as Latin-1 (one code point per byte, Latin1ToUtf8),
// other bytes as hex
// ---------------------------------------------------------------------------

// Code points U+0000..U+00FF back to bytes; false for anything else.
bool Utf8ToLatin1(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

std::string Hex(const uint8_t* bytes, std::size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

bool AllZero(const uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

std::string Tenths(unsigned v) { return std::to_string(v / 10) + "." + std::to_string(v % 10); }

// ---------------------------------------------------------------------------
// Reading an object field by field, with the path of each field
// ---------------------------------------------------------------------------

std::string Join(const std::string& path, const std::string& name) { return path.empty() ? name : path + "." + name; }

class Fields {
public:
    Fields(const Json& json, std::string path) : json_(json), path_(std::move(path)) {
        if (!json_.is_object()) throw JsonFormError(path_.empty() ? "$" : path_, "must be an object");
    }

    uint64_t Uint(const std::string& name, uint64_t max) {
        const Json& v = Get(name);
        return CheckUint(v, Join(path_, name), max);
    }
    uint64_t UintOr(const std::string& name, uint64_t max, uint64_t fallback) {
        if (!Has(name)) return fallback;
        return Uint(name, max);
    }
    bool Bool(const std::string& name) {
        const Json& v = Get(name);
        if (!v.is_boolean()) throw JsonFormError(Join(path_, name), "must be true or false");
        return v.get<bool>();
    }
    bool BoolOr(const std::string& name, bool fallback) { return Has(name) ? Bool(name) : fallback; }
    std::string Text(const std::string& name) {
        const Json& v = Get(name);
        if (!v.is_string()) throw JsonFormError(Join(path_, name), "must be a string");
        std::string bytes;
        if (!Utf8ToLatin1(v.get<std::string>(), bytes))
            throw JsonFormError(Join(path_, name), "holds a character beyond U+00FF (one byte per character)");
        return bytes;
    }
    // Exactly n bytes as 2n hex digits; absent means all zero.
    void HexOr(const std::string& name, uint8_t* out, std::size_t n) {
        std::memset(out, 0, n);
        if (!Has(name)) return;
        const Json& v = Get(name);
        if (v.is_null()) return;
        const std::string path = Join(path_, name);
        if (!v.is_string()) throw JsonFormError(path, "must be a string of hexadecimal digits");
        const std::string s = v.get<std::string>();
        if (s.size() != 2 * n) throw JsonFormError(path, "must hold " + std::to_string(2 * n) + " hexadecimal digits");
        for (std::size_t i = 0; i < n; ++i) {
            const int hi = Digit(s[2 * i]), lo = Digit(s[2 * i + 1]);
            if (hi < 0 || lo < 0) throw JsonFormError(path, "must be hexadecimal digits 0-9, A-F");
            out[i] = static_cast<uint8_t>(hi * 16 + lo);
        }
    }
    const Json& Sub(const std::string& name) { return Get(name); }
    std::string PathOf(const std::string& name) const { return Join(path_, name); }
    bool Has(const std::string& name) {
        if (!json_.contains(name)) return false;
        used_.insert(name);
        return true;
    }

    // Every key must be a known field; "...Text" keys and the format header
    // are for reading only.
    void NoOthers() const {
        for (auto it = json_.begin(); it != json_.end(); ++it) {
            const std::string& key = it.key();
            if (used_.count(key) || key == "format" || key == "version") continue;
            if (key.size() > 4 && key.compare(key.size() - 4, 4, "Text") == 0) continue;
            throw JsonFormError(Join(path_, key), "is not a field of this format");
        }
    }

    static uint64_t CheckUint(const Json& v, const std::string& path, uint64_t max) {
        if (!v.is_number_integer() || (v.is_number_integer() && !v.is_number_unsigned() && v.get<int64_t>() < 0))
            throw JsonFormError(path, "must be a whole number 0.." + std::to_string(max));
        const uint64_t x = v.get<uint64_t>();
        if (x > max) throw JsonFormError(path, std::to_string(x) + " is out of range 0.." + std::to_string(max));
        return x;
    }

private:
    static int Digit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    }
    const Json& Get(const std::string& name) {
        if (!json_.contains(name)) throw JsonFormError(Join(path_, name), "is missing");
        used_.insert(name);
        return json_.at(name);
    }

    const Json& json_;
    std::string path_;
    std::set<std::string> used_;
};

void ExpectFormat(const Json& json, const char* format) {
    if (!json.is_object()) throw JsonFormError("$", "must be an object");
    if (!json.contains("format")) throw JsonFormError("format", "is missing (\"" + std::string(format) + "\")");
    if (!json["format"].is_string() || json["format"].get<std::string>() != format)
        throw JsonFormError("format", "must be \"" + std::string(format) + "\"");
    if (json.contains("version") && (!json["version"].is_number_integer() || json["version"].get<int64_t>() != 1))
        throw JsonFormError("version", "must be 1");
}

void MagicFromJson(Fields& f, char (&magic)[8]) {
    const std::string m = f.Text("magic");
    if (m.size() != 7) throw JsonFormError(f.PathOf("magic"), "must be \"VANTRL2\" (any letter case)");
    char bytes[8] = {};
    std::memcpy(bytes, m.data(), 7);
    if (!HasRecordMagic(bytes)) throw JsonFormError(f.PathOf("magic"), "must be \"VANTRL2\" (any letter case)");
    std::memcpy(magic, bytes, 8);
}

Json GammaArray(const GammaTable& g) {
    Json a = Json::array();
    for (uint8_t v : g.level) a.push_back(v);
    return a;
}

void GammaFromArray(const Json& a, const std::string& path, GammaTable& g) {
    if (!a.is_array() || a.size() != 256) throw JsonFormError(path, "must be a list of 256 numbers 0..255");
    for (std::size_t i = 0; i < 256; ++i)
        g.level[i] = static_cast<uint8_t>(Fields::CheckUint(a[i], path + "[" + std::to_string(i) + "]", 255));
}

}  // namespace

Json ListText(const char* const* list, std::size_t count, unsigned index) {
    return index < count ? Json(list[index]) : Json(nullptr);
}

Json InterfaceText(const PanelRecord& r) {
    const bool dual = HasPanelFlag(r, kDualPixel);
    if (r.colorDepth == 6) return dual ? " 2x18 Bit " : " 1x18 Bit ";
    if (r.colorDepth == 8) return dual ? " 2x24 Bit " : " 1x24 Bit ";
    return nullptr;
}

// ---------------------------------------------------------------------------
// Panel
// ---------------------------------------------------------------------------

Json PanelToJson(const PanelRecord& r, bool complete) {
    Json j;
    j["format"] = kPanelFormat;
    j["version"] = 1;
    j["magic"] = Latin1ToUtf8(reinterpret_cast<const uint8_t*>(r.magic), 7);
    j["blockSize"] = r.blockSize;
    const auto* name = reinterpret_cast<const uint8_t*>(r.displayName);
    std::size_t len = 0;
    while (len < 16 && name[len] != 0) ++len;
    j["displayName"] = Latin1ToUtf8(name, len);
    if (len + 1 < 16 && !AllZero(name + len + 1, 15 - len)) j["displayNameTail"] = Hex(name + len + 1, 15 - len);
    else if (complete) j["displayNameTail"] = nullptr;
    j["imageHeader"] = r.imageHeader;
    j["manufacturer"] = r.manufacturer;
    j["manufacturerText"] = ListText(kManufacturers, kManufacturerCount, r.manufacturer);
    j["reserved30"] = r.reserved30;

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
    j["panelFlags"] = flags;

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
    j["outputDrive"] = drive;

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

    const std::string name = f.Text("displayName");
    if (name.size() > 16) throw JsonFormError("displayName", "is longer than 16 characters");
    if (name.find('\0') != std::string::npos) throw JsonFormError("displayName", "must not hold a NUL character");
    std::memcpy(r.displayName, name.data(), name.size());
    if (f.Has("displayNameTail") && !json["displayNameTail"].is_null()) {
        if (name.size() >= 15) throw JsonFormError("displayNameTail", "has no room: the name fills the 16 bytes");
        const std::size_t tail = 15 - name.size();
        f.HexOr("displayNameTail", reinterpret_cast<uint8_t*>(r.displayName) + name.size() + 1, tail);
    }
    r.imageHeader = static_cast<uint16_t>(f.Uint("imageHeader", 65535));
    r.manufacturer = static_cast<uint16_t>(f.Uint("manufacturer", 65535));
    r.reserved30 = static_cast<uint16_t>(f.Uint("reserved30", 65535));

    {
        Fields g(f.Sub("panelFlags"), "panelFlags");
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
        r.panelFlags = flags;
    }
    r.colorDepth = static_cast<uint16_t>(f.Uint("colorDepth", 65535));
    r.hResolution = static_cast<uint16_t>(f.Uint("hResolution", 65535));
    r.vResolution = static_cast<uint16_t>(f.Uint("vResolution", 65535));
    r.vFreqMin = static_cast<uint16_t>(f.Uint("vFreqMin", 65535));
    r.vFreqTyp = static_cast<uint16_t>(f.Uint("vFreqTyp", 65535));
    r.vFreqMax = static_cast<uint16_t>(f.Uint("vFreqMax", 65535));
    r.maxDisplayClock = static_cast<uint32_t>(f.Uint("maxDisplayClock", 0xFFFFFFFFu));
    r.hMinTotal = static_cast<uint16_t>(f.Uint("hMinTotal", 65535));
    r.hPulseWidth = static_cast<uint16_t>(f.Uint("hPulseWidth", 65535));
    r.hBackPorch = static_cast<uint16_t>(f.Uint("hBackPorch", 65535));
    r.reserved54 = static_cast<uint16_t>(f.UintOr("reserved54", 65535, 0));
    r.vMinTotal = static_cast<uint16_t>(f.Uint("vMinTotal", 65535));
    r.vPulseWidth = static_cast<uint16_t>(f.Uint("vPulseWidth", 65535));
    r.vBackPorch = static_cast<uint16_t>(f.Uint("vBackPorch", 65535));
    r.resolutionCodeA = static_cast<uint16_t>(f.Uint("resolutionCodeA", 65535));
    r.resolutionCodeB = static_cast<uint16_t>(f.Uint("resolutionCodeB", 65535));
    {
        Fields d(f.Sub("outputDrive"), "outputDrive");
        uint16_t drive = 0;
        drive =
            WithOutputDriveField(drive, kDataLinesDriveMask, 0, static_cast<unsigned>(d.Uint("dataLinesDrive", 15)));
        drive = WithOutputDriveField(drive, kClockDriveMask, kClockDriveShift,
                                     static_cast<unsigned>(d.Uint("clockDrive", 15)));
        drive = WithOutputDriveField(drive, kControlLinesDriveMask, kControlLinesDriveShift,
                                     static_cast<unsigned>(d.Uint("controlLinesDrive", 15)));
        drive = WithOutputDriveField(drive, kDclkAdjustMask, kDclkAdjustShift,
                                     static_cast<unsigned>(d.Uint("dclkAdjust", 3)));
        drive = static_cast<uint16_t>(drive | (d.UintOr("spare", 3, 0) << 6));
        d.NoOthers();
        r.outputDrive = drive;
    }
    r.kesaId = static_cast<uint16_t>(f.Uint("kesaId", 65535));
    r.powerOnT1 = static_cast<uint8_t>(f.Uint("powerOnT1", 255));
    r.powerOnT2 = static_cast<uint8_t>(f.Uint("powerOnT2", 255));
    r.powerOffT3 = static_cast<uint8_t>(f.Uint("powerOffT3", 255));
    r.powerOffT4 = static_cast<uint8_t>(f.Uint("powerOffT4", 255));
    {
        Fields rf(f.Sub("resolutionFlags"), "resolutionFlags");
        uint16_t v = rf.Bool("customResolution") ? kCustomResolution : 0;
        v = static_cast<uint16_t>(v | (rf.UintOr("spare", 0x7FFF, 0) << 1));
        rf.NoOthers();
        r.resolutionFlags = v;
    }
    f.HexOr("reserved78", r.reserved78, sizeof r.reserved78);
    r.reserved254 = static_cast<uint16_t>(f.UintOr("reserved254", 65535, 0));
    GammaFromArray(f.Sub("gammaTable"), "gammaTable", r.gammaTable);
    f.NoOthers();
    return r;
}

// ---------------------------------------------------------------------------
// Mode table
// ---------------------------------------------------------------------------

Json ModesToJson(const ModeTable& t, bool complete) {
    Json j;
    j["format"] = kModesFormat;
    j["version"] = 1;
    j["magic"] = Latin1ToUtf8(reinterpret_cast<const uint8_t*>(t.magic), 7);
    j["headerWord"] = +t.headerWord;
    j["modeCount"] = +t.modeCount;
    // Every slot up to the last one in use or holding data; the rest are zero.
    std::size_t slots = complete ? kMaxModes : (t.modeCount < kMaxModes ? t.modeCount : kMaxModes);
    for (std::size_t i = slots; i < kMaxModes; ++i)
        if (!AllZero(reinterpret_cast<const uint8_t*>(&t.entries[i]), sizeof(ModeEntry))) slots = i + 1;
    Json entries = Json::array();
    for (std::size_t i = 0; i < slots; ++i) {
        const ModeEntry& e = t.entries[i];
        Json x;
        x["hFreq"] = +e.hFreq;
        x["hFreqText"] = Tenths(e.hFreq) + " kHz";
        x["hFreqTol"] = +e.hFreqTol;
        x["vFreq"] = +e.vFreq;
        x["vFreqText"] = Tenths(e.vFreq) + " Hz";
        x["vFreqTol"] = +e.vFreqTol;
        x["vTotal"] = +e.vTotal;
        x["vTotalTol"] = +e.vTotalTol;
        x["hTotal"] = +e.hTotal;
        x["activeWidth"] = +e.activeWidth;
        x["activeHeight"] = +e.activeHeight;
        x["hStart"] = +e.hStart;
        x["vStart"] = +e.vStart;
        Json flags;
        flags["scanType"] = ScanType(e);
        flags["scanTypeText"] = ListText(kScanTypes, kScanTypeCount, ScanType(e));
        flags["analog"] = HasModeFlag(e, kEnableAnalog);
        flags["digital"] = HasModeFlag(e, kEnableDigital);
        flags["video"] = HasModeFlag(e, kEnableVideo);
        flags["spare"] = (e.modeFlags & 0x80) != 0;
        x["modeFlags"] = flags;
        if (!AllZero(e.reserved, sizeof e.reserved)) x["reserved"] = Hex(e.reserved, sizeof e.reserved);
        else if (complete) x["reserved"] = nullptr;
        entries.push_back(x);
    }
    j["entries"] = entries;
    if (!AllZero(t.reserved, sizeof t.reserved)) j["reserved"] = Hex(t.reserved, sizeof t.reserved);
    else if (complete) j["reserved"] = nullptr;
    return j;
}

ModeTable ModesFromJson(const Json& json) {
    ExpectFormat(json, kModesFormat);
    ModeTable t{};
    Fields f(json, "");
    MagicFromJson(f, t.magic);
    t.headerWord = static_cast<uint16_t>(f.Uint("headerWord", 65535));
    t.modeCount = static_cast<uint16_t>(f.Uint("modeCount", kMaxModes));
    const Json& entries = f.Sub("entries");
    if (!entries.is_array() || entries.size() > kMaxModes)
        throw JsonFormError("entries", "must be a list of at most 38 mode entries");
    if (entries.size() < t.modeCount)
        throw JsonFormError("entries", "holds " + std::to_string(entries.size()) + " entries, modeCount says " +
                                           std::to_string(t.modeCount));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string path = "entries[" + std::to_string(i) + "]";
        Fields x(entries[i], path);
        ModeEntry& e = t.entries[i];
        e.hFreq = static_cast<uint16_t>(x.Uint("hFreq", 65535));
        e.hFreqTol = static_cast<uint8_t>(x.Uint("hFreqTol", 255));
        e.vFreq = static_cast<uint16_t>(x.Uint("vFreq", 65535));
        e.vFreqTol = static_cast<uint8_t>(x.Uint("vFreqTol", 255));
        e.vTotal = static_cast<uint16_t>(x.Uint("vTotal", 65535));
        e.vTotalTol = static_cast<uint8_t>(x.Uint("vTotalTol", 255));
        e.hTotal = static_cast<uint16_t>(x.Uint("hTotal", 65535));
        e.activeWidth = static_cast<uint16_t>(x.Uint("activeWidth", 65535));
        e.activeHeight = static_cast<uint16_t>(x.Uint("activeHeight", 65535));
        e.hStart = static_cast<uint16_t>(x.Uint("hStart", 65535));
        e.vStart = static_cast<uint16_t>(x.Uint("vStart", 65535));
        Fields m(x.Sub("modeFlags"), path + ".modeFlags");
        uint8_t flags = static_cast<uint8_t>(m.Uint("scanType", 15));
        if (m.Bool("analog")) flags |= kEnableAnalog;
        if (m.Bool("digital")) flags |= kEnableDigital;
        if (m.Bool("video")) flags |= kEnableVideo;
        if (m.BoolOr("spare", false)) flags |= 0x80;
        m.NoOthers();
        e.modeFlags = flags;
        x.HexOr("reserved", e.reserved, sizeof e.reserved);
        x.NoOthers();
    }
    f.HexOr("reserved", t.reserved, sizeof t.reserved);
    f.NoOthers();
    return t;
}

// ---------------------------------------------------------------------------
// Gamma table
// ---------------------------------------------------------------------------

Json GammaToJson(const GammaTable& g) {
    Json j;
    j["format"] = kGammaFormat;
    j["version"] = 1;
    j["gammaTable"] = GammaArray(g);
    return j;
}

GammaTable GammaFromJson(const Json& json) {
    ExpectFormat(json, kGammaFormat);
    GammaTable g{};
    Fields f(json, "");
    GammaFromArray(f.Sub("gammaTable"), "gammaTable", g);
    f.NoOthers();
    return g;
}

}  // namespace cli
