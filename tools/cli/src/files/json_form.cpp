// The JSON form of mode files and gamma table files, and the list texts
// shown beside indices (the panel file's form is in json_panel.cpp).
#include "files/json_form.h"

#include "files/json_fields.h"
#include "text_out.h"
#include "tolvane/data_lists.h"
#include "tolvane/panel.h"

namespace cli {

using namespace json_fields;

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
