#include "files/show.h"

#include <cstdio>
#include <string>

#include "text_out.h"
#include "tolvane/data_lists.h"
#include "tolvane/timing.h"
#include "tolvane/panel.h"
#include "tolvane/panel_checks.h"
#include "tolvane/timing.h"
#include "tolvane/typed_numbers.h"

namespace cli {
namespace {

// Built by appending: GCC 12 warns wrongly (-Wrestrict) on "literal" + string&&.
std::string InQuotes(const std::string& text) {
    std::string out(1, '"');
    out.append(text).push_back('"');
    return out;
}

std::string Quoted(const Json& text) {
    return text.is_string() ? InQuotes(text.get<std::string>()) : "(no list entry)";
}

std::string Line(const char* label, const std::string& value) {
    char head[32];
    std::snprintf(head, sizeof head, "  %-22s", label);
    return std::string(head) + value + "\n";
}

std::string Name(const PanelRecord& r) {
    std::size_t len = 0;
    while (len < 16 && r.displayName[len] != '\0') ++len;
    return Latin1ToUtf8(std::string_view(r.displayName, len));
}

std::string Drive(unsigned step) {
    return std::to_string(step) + " " + Quoted(ListText(kDriveSteps, kDriveStepCount, step - 1));
}

bool IsIdentity(const GammaTable& g) {
    for (int i = 0; i < 256; ++i)
        if (g.level[i] != i) return false;
    return true;
}

std::string Ms(unsigned units) { return std::to_string(units * 10) + " ms"; }

}  // namespace

void ShowPanel(std::ostream& out, const PanelRecord& r) {
    out << "Panel \"" << Name(r) << "\"\n";
    out << Line("Display name", InQuotes(Name(r)));
    out << Line("Manufacturer", std::to_string(r.manufacturer) + " " +
                                    Quoted(ListText(kManufacturers, kManufacturerCount, r.manufacturer)));
    out << Line("Interface", Quoted(InterfaceText(r)) + " (colour depth " + std::to_string(r.colorDepth) + ", " +
                                 (HasPanelFlag(r, kDualPixel) ? "two pixels" : "one pixel") + " per clock)");
    out << Line("Correction", Quoted(ListText(kCorrections, kCorrectionCount, Correction(r))));
    std::string polarity;
    if (HasPanelFlag(r, kVsyncInvert)) polarity += "VSync invert, ";
    if (HasPanelFlag(r, kHsyncInvert)) polarity += "HSync invert, ";
    if (HasPanelFlag(r, kClockInvert)) polarity += "Display clock invert, ";
    polarity = polarity.empty() ? "not inverted" : polarity.substr(0, polarity.size() - 2);
    out << Line("Polarity", polarity);

    const unsigned cls = ResolutionClass(r);
    static const char* const kClassNames[] = {" VGA ", " SVGA ", " XGA ", " SXGA ", " UXGA "};
    std::string clsName = "class " + std::to_string(cls);
    for (int b = 0; b < 5; ++b)
        if (cls == (1u << b)) clsName = std::string("\"") + kClassNames[b] + "\"";
    const bool other = IsCustomResolution(r) || !IsStandardResolution(r.hResolution, r.vResolution);
    out << Line("Resolution", std::to_string(r.hResolution) + " x " + std::to_string(r.vResolution) + " (" +
                                  (other ? "\" Other \", " : "") + clsName + ")");
    out << Line("Vertical frequency", "min " + std::to_string(r.vFreqMin) + " Hz, typ " + std::to_string(r.vFreqTyp) +
                                          " Hz, max " + std::to_string(r.vFreqMax) + " Hz");
    out << Line("Max. display clock", FormatScaledShortest(r.maxDisplayClock, 3, 2) + " MHz");
    const Resolution display = DisplayPeriods(r);
    const unsigned dispH = display.width, dispV = display.height;
    out << Line("Horizontal timing", "display period " + std::to_string(dispH) + ", pulse width " +
                                         std::to_string(r.hPulseWidth) + ", back-porch " +
                                         std::to_string(r.hBackPorch) + ", min. total period " +
                                         std::to_string(r.hMinTotal) + " CLKs");
    out << Line("Vertical timing", "display period " + std::to_string(dispV) + ", pulse width " +
                                       std::to_string(r.vPulseWidth) + ", back-porch " + std::to_string(r.vBackPorch) +
                                       ", min. total period " + std::to_string(r.vMinTotal) + " lines");
    out << Line("Data lines", Drive(DataLinesDrive(r)));
    out << Line("Control lines", Drive(ControlLinesDrive(r)));
    out << Line("Display clock", Drive(ClockDrive(r)));
    out << Line("DCLK adjustment", Quoted(ListText(kClockAdjustments, kClockAdjustmentCount, DclkAdjust(r))));
    std::string kesa = Quoted(ListText(kKesaIds, kKesaIdCount, r.kesaId));
    if (r.kesaId == 0) kesa += ", sent to the board as " + std::to_string(EffectiveKesaId(r));
    out << Line("KESA ID", kesa);
    out << Line("Gamma table", std::string(HasPanelFlag(r, kUseGamma) ? "used" : "not used") + ", " +
                                   (IsIdentity(r.gammaTable) ? "identity" : "corrected"));
    out << Line("Power timing", "ON: T1 " + Ms(r.powerOnT1) + ", T2 " + Ms(r.powerOnT2) + "; OFF: T3 " +
                                    Ms(r.powerOffT3) + ", T4 " + Ms(r.powerOffT4));
}

void ShowModes(std::ostream& out, const ModeTable& t) {
    out << "Mode table, " << t.modeCount << (t.modeCount == 1 ? " mode" : " modes") << "\n";
    char line[200];
    std::snprintf(line, sizeof line, "  %4s  %-11s  %8s %5s  %8s %5s  %7s %7s %4s  %7s %7s  %-18s  %s\n", "Mode",
                  "Resolution", "H [kHz]", "Tol.", "V [Hz]", "Tol.", "H-Total", "V-Total", "Tol.", "H-Start", "V-Start",
                  "Mode type", "Enable for");
    out << line;
    const unsigned n = t.modeCount < kMaxModes ? t.modeCount : kMaxModes;
    for (unsigned i = 0; i < n; ++i) {
        const ModeEntry& e = t.entries[i];
        std::string res = std::to_string(e.activeWidth) + " x " + std::to_string(e.activeHeight);
        std::string inputs;
        if (HasModeFlag(e, kEnableAnalog)) inputs += "Analog ";
        if (HasModeFlag(e, kEnableDigital)) inputs += "Digital ";
        if (HasModeFlag(e, kEnableVideo)) inputs += "Video ";
        if (inputs.empty()) inputs.assign(1, '-');
        else inputs.pop_back();
        const Json scan = ListText(kScanTypes, kScanTypeCount, ScanType(e));
        std::snprintf(line, sizeof line, "  %4u  %-11s  %8s %5s  %8s %5s  %7u %7u %4u  %7u %7u  %-18s  %s\n", i,
                      res.c_str(), FormatScaled(e.hFreq, 1).c_str(), FormatScaled(e.hFreqTol, 1).c_str(),
                      FormatScaled(e.vFreq, 1).c_str(), FormatScaled(e.vFreqTol, 1).c_str(), unsigned{e.hTotal},
                      unsigned{e.vTotal}, unsigned{e.vTotalTol}, unsigned{e.hStart}, unsigned{e.vStart},
                      scan.is_string() ? scan.get<std::string>().c_str() : "?", inputs.c_str());
        out << line;
    }
}

void ShowGamma(std::ostream& out, const GammaTable& g) {
    out << "Gamma table, " << (IsIdentity(g) ? "identity" : "corrected") << " (output level for input 0..255)\n";
    char cell[8];
    for (int row = 0; row < 256; row += 16) {
        std::snprintf(cell, sizeof cell, "  %3d:", row);
        out << cell;
        for (int i = row; i < row + 16; ++i) {
            std::snprintf(cell, sizeof cell, " %3u", unsigned{g.level[i]});
            out << cell;
        }
        out << "\n";
    }
}

void ShowRecordFile(std::ostream& out, const RecordFile& file) {
    switch (file.kind) {
        case FileKindId::Panel:
            ShowPanel(out, file.panel);
            break;
        case FileKindId::Modes:
            ShowModes(out, file.modes);
            break;
        case FileKindId::Gamma:
            ShowGamma(out, file.gamma);
            break;
    }
}

namespace {

bool IsTextKey(const std::string& key) { return key.size() > 4 && key.compare(key.size() - 4, 4, "Text") == 0; }

void Flatten(const Json& j, const std::string& path, std::vector<std::pair<std::string, Json>>& out) {
    if (j.is_object()) {
        for (auto it = j.begin(); it != j.end(); ++it) {
            if (IsTextKey(it.key()) || it.key() == "format" || it.key() == "version") continue;
            Flatten(it.value(), path.empty() ? it.key() : path + "." + it.key(), out);
        }
    } else if (j.is_array()) {
        for (std::size_t i = 0; i < j.size(); ++i) Flatten(j[i], path + "[" + std::to_string(i) + "]", out);
    } else {
        out.emplace_back(path, j);
    }
}

}  // namespace

std::vector<FieldDifference> DiffRecords(const RecordFile& a, const RecordFile& b) {
    // Both sides in their complete JSON form: the same fields in the same
    // order, reserved bytes and empty slots included.
    auto complete = [](const RecordFile& f) {
        switch (f.kind) {
            case FileKindId::Panel:
                return PanelToJson(f.panel, true);
            case FileKindId::Modes:
                return ModesToJson(f.modes, true);
            case FileKindId::Gamma:
            default:
                return GammaToJson(f.gamma);
        }
    };
    std::vector<std::pair<std::string, Json>> fa, fb;
    Flatten(complete(a), "", fa);
    Flatten(complete(b), "", fb);
    std::vector<FieldDifference> diffs;
    for (std::size_t i = 0; i < fa.size() && i < fb.size(); ++i)
        if (fa[i].second != fb[i].second) diffs.push_back({fa[i].first, fa[i].second, fb[i].second});
    return diffs;
}

}  // namespace cli
