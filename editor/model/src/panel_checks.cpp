#include "tolvane/panel_checks.h"
#include "tolvane/mode_editing.h"
#include "tolvane/timing.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include "tolvane/data_lists.h"

namespace {

void Add(std::vector<CheckFinding>& out, CheckSeverity s, std::string field, std::string message) {
    out.push_back({s, std::move(field), std::move(message)});
}
void Error(std::vector<CheckFinding>& out, std::string field, std::string message) {
    Add(out, CheckSeverity::Error, std::move(field), std::move(message));
}
void Warning(std::vector<CheckFinding>& out, std::string field, std::string message) {
    Add(out, CheckSeverity::Warning, std::move(field), std::move(message));
}

std::string Num(uint64_t v) { return std::to_string(v); }

// kHz as "65.000 MHz" without binary floating point.
std::string Mhz(uint64_t khz) {
    std::string frac = std::to_string(khz % 1000);
    while (frac.size() < 3) frac.insert(frac.begin(), '0');
    return std::to_string(khz / 1000) + "." + frac + " MHz";
}

// Tenths as "31.5".
std::string Tenths(uint64_t v) { return std::to_string(v / 10) + "." + std::to_string(v % 10); }

bool IsSingleClassBit(unsigned cls) { return cls == 1 || cls == 2 || cls == 4 || cls == 8 || cls == 16; }

}  // namespace

bool HasCheckError(const std::vector<CheckFinding>& findings) {
    for (const auto& f : findings)
        if (f.severity == CheckSeverity::Error) return true;
    return false;
}

std::vector<CheckFinding> CheckPanelRecord(const PanelRecord& r) {
    std::vector<CheckFinding> out;

    // Record invariants.
    if (r.blockSize != 256) Warning(out, "blockSize", "block size is " + Num(r.blockSize) + ", not 256");
    bool reservedClear = r.reserved254 == 0;
    for (uint8_t b : r.reserved78) reservedClear = reservedClear && b == 0;
    if (!reservedClear) Warning(out, "reserved78", "reserved bytes 78..255 are not all zero");

    // Interface I.
    if (r.displayName[0] == '\0') Error(out, "displayName", "ERROR: No display name defined !");
    if (r.manufacturer >= kManufacturerCount)
        Error(out, "manufacturer",
              "manufacturer " + Num(r.manufacturer) + " has no list entry (0.." + Num(kManufacturerCount - 1) + ")");
    if (r.colorDepth != 6 && r.colorDepth != 8)
        Error(out, "colorDepth", "colour depth " + Num(r.colorDepth) + " is no interface arrangement (6 or 8)");
    if (Correction(r) >= kCorrectionCount)
        Error(out, "panelFlags.correction", "correction " + Num(Correction(r)) + " has no list entry (0..1)");

    // Interface II.
    const struct {
        const char* field;
        unsigned step;
    } drives[] = {
        {"outputDrive.dataLinesDrive", DataLinesDrive(r)},
        {"outputDrive.clockDrive", ClockDrive(r)},
        {"outputDrive.controlLinesDrive", ControlLinesDrive(r)},
    };
    for (const auto& d : drives)
        if (d.step < 1 || d.step > kDriveStepCount)
            Error(out, d.field, "drive step " + Num(d.step) + " has no list entry (1..7)");
    if (r.outputDrive & 0x00C0) Warning(out, "outputDrive.spare", "spare bits 6-7 of the output drive are set");
    if (r.kesaId >= kKesaIdCount) Error(out, "kesaId", "KESA id " + Num(r.kesaId) + " has no list entry (0..15)");

    // Timing I.
    const unsigned cls = ResolutionClass(r);
    if (!IsSingleClassBit(cls))
        Error(out, "panelFlags.resolutionClass", "resolution class " + Num(cls) + " is not one of 1, 2, 4, 8, 16");
    const bool other = !IsStandardResolution(r.hResolution, r.vResolution);
    if (other && (r.hResolution < 160 || r.hResolution > 2000))
        Error(out, "hResolution", "ERROR: Unvalid horizontal resolution !");
    if (other && (r.vResolution < 120 || r.vResolution > 2000))
        Error(out, "vResolution", "ERROR: Unvalid vertical resolution !");
    if (IsSingleClassBit(cls)) {
        const Resolution pair = *StandardResolutionOfClass(static_cast<uint16_t>(cls));
        const unsigned w = pair.width, h = pair.height;
        if (!IsCustomResolution(r) && (r.hResolution != w || r.vResolution != h))
            Warning(out, "hResolution",
                    "resolution " + Num(r.hResolution) + " x " + Num(r.vResolution) + " is not that of class " +
                        Num(cls) + " (" + Num(w) + " x " + Num(h) +
                        ") and customResolution is clear: the editor sets " + Num(w) + " x " + Num(h) +
                        " before it saves or writes");
        if (IsCustomResolution(r) && ResolutionClassForWidth(r.hResolution) != cls)
            Warning(out, "panelFlags.resolutionClass",
                    "class " + Num(cls) + " does not match the typed width " + Num(r.hResolution) + " (class " +
                        Num(ResolutionClassForWidth(r.hResolution)) + ")");
    }
    if (r.vFreqMin < 45) Error(out, "vFreqMin", "ERROR: Do not use values under 45 Hz !");
    if (r.vFreqMax > 200) Error(out, "vFreqMax", "ERROR: Do not use values over 200 Hz !");
    if (r.vFreqMin >= r.vFreqTyp) Error(out, "vFreqTyp", "ERROR: Min value equal or greater Typ value !");
    if (r.vFreqTyp >= r.vFreqMax) Error(out, "vFreqMax", "ERROR: Typ value equal or greater Max value !");
    if (r.maxDisplayClock < kMinDisplayClockKHz || r.maxDisplayClock > kMaxDisplayClockKHz)
        Error(out, "maxDisplayClock", "ERROR: Use values between 15 to 150 MHz !");
    // The board keeps the three frequencies in one byte each.
    const struct {
        const char* field;
        unsigned v;
    } bytes[] = {{"vFreqMin", r.vFreqMin},       {"vFreqTyp", r.vFreqTyp},     {"vFreqMax", r.vFreqMax},
                 {"hPulseWidth", r.hPulseWidth}, {"hBackPorch", r.hBackPorch}, {"vPulseWidth", r.vPulseWidth},
                 {"vBackPorch", r.vBackPorch}};
    for (const auto& b : bytes)
        if (b.v > 255)
            Warning(out, b.field, Num(b.v) + " does not fit the board's byte: it is sent as " + Num(b.v & 0xFF));

    // Timing II.
    if (r.hPulseWidth > 256) Error(out, "hPulseWidth", "ERROR: Do not use values over 256 !");
    if (r.hBackPorch > 256) Error(out, "hBackPorch", "ERROR: Do not use values over 256 !");
    if (r.hMinTotal < 160 || r.hMinTotal > 4096)
        Error(out, "hMinTotal", "ERROR: Use values between 160 to 4096 CLKs !");
    if (r.vPulseWidth > 256) Error(out, "vPulseWidth", "ERROR: Do not use values over 256 !");
    if (r.vBackPorch > 256) Error(out, "vBackPorch", "ERROR: Do not use values over 256 !");
    if (r.vMinTotal < 120 || r.vMinTotal > 2048)
        Error(out, "vMinTotal", "ERROR: Use values between 120 to 2048 lines !");

    // Display periods as the Timing II page shows them.
    const Resolution display = DisplayPeriods(r);
    const unsigned dispH = display.width, dispV = display.height;
    const uint64_t sumH = uint64_t{dispH} + r.hPulseWidth + r.hBackPorch;
    const uint64_t sumV = uint64_t{dispV} + r.vPulseWidth + r.vBackPorch;
    if (sumH > r.hMinTotal)
        Warning(out, "hMinTotal",
                "horizontal total period " + Num(r.hMinTotal) + " is shorter than display period " + Num(dispH) +
                    " + pulse width " + Num(r.hPulseWidth) + " + back-porch " + Num(r.hBackPorch) + " = " + Num(sumH));
    if (sumV > r.vMinTotal)
        Warning(out, "vMinTotal",
                "vertical total period " + Num(r.vMinTotal) + " is shorter than display period " + Num(dispV) +
                    " + pulse width " + Num(r.vPulseWidth) + " + back-porch " + Num(r.vBackPorch) + " = " + Num(sumV));
    // The display clock the timing needs at the highest vertical frequency.
    const uint64_t neededHz = uint64_t{r.hMinTotal} * r.vMinTotal * r.vFreqMax;
    if (r.maxDisplayClock != 0 && neededHz > uint64_t{r.maxDisplayClock} * 1000)
        Warning(out, "maxDisplayClock",
                "the timing needs " + Mhz((neededHz + 999) / 1000) + " (" + Num(r.hMinTotal) + " x " +
                    Num(r.vMinTotal) + " x " + Num(r.vFreqMax) + " Hz); the panel takes at most " +
                    Mhz(r.maxDisplayClock));

    // Gamma/Power.
    const struct {
        const char* field;
        unsigned v;
    } delays[] = {{"powerOnT1", r.powerOnT1},
                  {"powerOnT2", r.powerOnT2},
                  {"powerOffT3", r.powerOffT3},
                  {"powerOffT4", r.powerOffT4}};
    for (const auto& d : delays)
        if (d.v * 10 > 2500) Error(out, d.field, "ERROR: Use timing values between 10 to 2500 ms !");
    return out;
}

std::vector<CheckFinding> CheckModeEntry(const ModeEntry& e, const std::string& p) {
    std::vector<CheckFinding> out;
    for (ModeEntryFault fault : ModeEntryFaults(TypedFromModeEntry(e)))
        Error(out, p + ModeEntryFaultField(fault), ModeEntryFaultMessage(fault));
    if (ScanType(e) >= kScanTypeCount)
        Error(out, p + "modeFlags.scanType", "scan type " + Num(ScanType(e)) + " has no list entry (0..3)");
    if (e.modeFlags & 0x80) Warning(out, p + "modeFlags.spare", "spare bit 7 of the mode flags is set");
    return out;
}

namespace {

bool WindowsOverlap(unsigned a, unsigned tolA, unsigned b, unsigned tolB) {
    const unsigned diff = a > b ? a - b : b - a;
    return diff <= tolA + tolB;
}

std::string EntryName(unsigned i, const ModeEntry& e) {
    return "entry " + Num(i) + " (" + Num(e.activeWidth) + " x " + Num(e.activeHeight) + ", " + Tenths(e.hFreq) +
           " kHz, " + Tenths(e.vFreq) + " Hz)";
}

}  // namespace

bool ModesOverlap(const ModeEntry& a, const ModeEntry& b) {
    return (a.modeFlags & b.modeFlags & kEnableMask) != 0 && WindowsOverlap(a.hFreq, a.hFreqTol, b.hFreq, b.hFreqTol) &&
           WindowsOverlap(a.vFreq, a.vFreqTol, b.vFreq, b.vFreqTol) &&
           WindowsOverlap(a.vTotal, a.vTotalTol, b.vTotal, b.vTotalTol);
}

std::vector<CheckFinding> CheckModeTable(const ModeTable& t) {
    std::vector<CheckFinding> out;
    if (t.modeCount > kMaxModes) {
        Error(out, "modeCount", "mode count " + Num(t.modeCount) + " exceeds the limit of 38");
        return out;
    }
    if (t.modeCount == 0) Error(out, "modeCount", "ERROR: It's necessary to implement one entry !");
    if (t.headerWord != 256) Warning(out, "headerWord", "header word is " + Num(t.headerWord) + ", not 256");
    const unsigned n = t.modeCount;
    for (unsigned i = 0; i < n; ++i) {
        const std::string prefix = "entries[" + Num(i) + "].";
        auto entry = CheckModeEntry(t.entries[i], prefix);
        out.insert(out.end(), entry.begin(), entry.end());
        const ModeEntry& e = t.entries[i];
        bool reservedClear = true;
        for (uint8_t b : e.reserved) reservedClear = reservedClear && b == 0;
        if (!reservedClear)
            Warning(out, prefix + "reserved", "reserved bytes 20..51 are not zero; they never reach the board");

        // Line rate against frame rate x total lines (an interlaced field has
        // half the lines), within the two frequency tolerances. In hundredths of a Hz:
        // hFreq is 0.1 kHz (x 10000), vFreq 0.1 Hz (x 10).
        if (e.hFreq != 0 && e.vFreq != 0 && e.vTotal != 0) {
            const bool interlaced = ScanType(e) == 3;
            const int64_t line = int64_t{e.hFreq} * 10000;
            const int64_t frame = int64_t{e.vFreq} * 10 * e.vTotal / (interlaced ? 2 : 1);
            const int64_t allowed =
                int64_t{e.hFreqTol} * 10000 + int64_t{e.vFreqTol} * 10 * e.vTotal / (interlaced ? 2 : 1);
            if (std::llabs(line - frame) > allowed)
                Error(out, prefix + "hFreq",
                      "line rate " + Tenths(e.hFreq) + " kHz does not match frame rate " + Tenths(e.vFreq) + " Hz x " +
                          Num(e.vTotal) + (interlaced ? " / 2" : "") +
                          " lines = " + Num(static_cast<uint64_t>(frame / 100)) + " Hz");
        }
    }
    // Pairs that the board cannot tell apart: the same inputs, and frequency
    // and total windows (value +- tolerance) that overlap.
    for (unsigned i = 0; i < n; ++i) {
        for (unsigned j = i + 1; j < n; ++j) {
            const ModeEntry& a = t.entries[i];
            const ModeEntry& b = t.entries[j];
            if (!ModesOverlap(a, b)) continue;
            const std::string field = "entries[" + Num(j) + "]";
            bool same = true;
            for (std::size_t k = 0; k < 20; ++k)
                same = same && reinterpret_cast<const uint8_t*>(&a)[k] == reinterpret_cast<const uint8_t*>(&b)[k];
            if (same) Error(out, field, EntryName(j, b) + " duplicates " + EntryName(i, a));
            else if (ScanType(a) != ScanType(b))
                Warning(out, field,
                        EntryName(j, b) + " overlaps " + EntryName(i, a) +
                            " for the same inputs; only the scan type tells them apart");
            else
                Error(out, field,
                      EntryName(j, b) + " overlaps " + EntryName(i, a) +
                          " for the same inputs (frequency and total windows with tolerances)");
        }
    }
    for (unsigned i = n; i < kMaxModes; ++i) {
        bool clear = true;
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&t.entries[i]);
        for (std::size_t k = 0; k < sizeof(ModeEntry); ++k) clear = clear && bytes[k] == 0;
        if (!clear)
            Warning(out, "entries[" + Num(i) + "]",
                    "slot " + Num(i) + " beyond modeCount holds data; it is not sent to the board");
    }
    return out;
}
