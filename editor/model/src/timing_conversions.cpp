#include "tolvane/timing_conversions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tolvane/mode_editing.h"
#include "tolvane/panel.h"
#include "tolvane/timing.h"

namespace {

void Refuse(std::vector<CheckFinding>& out, std::string field, std::string message) {
    out.push_back({CheckSeverity::Error, std::move(field), std::move(message)});
}
void Note(std::vector<CheckFinding>& out, std::string field, std::string message) {
    out.push_back({CheckSeverity::Warning, std::move(field), std::move(message)});
}

std::string Num(uint64_t v) { return std::to_string(v); }

// The vertical rate rounded to whole Hz; absurd rates stay absurd (65535), never wrap.
uint16_t RoundedHz(const DetailedTiming& t) {
    return static_cast<uint16_t>(std::min<uint64_t>((VFreqMilliHz(t) + 500) / 1000, UINT16_MAX));
}

void TakeResolution(PanelConversion& c, const DetailedTiming& t) {
    PanelRecord& r = c.record;
    const bool standard = IsStandardResolution(t.hActive, t.vActive);
    if (!standard && (t.hActive < 160 || t.hActive > 2000))
        Refuse(c.refusals, "hResolution", "ERROR: Unvalid horizontal resolution !");
    if (!standard && (t.vActive < 120 || t.vActive > 2000))
        Refuse(c.refusals, "vResolution", "ERROR: Unvalid vertical resolution !");
    r.hResolution = t.hActive;
    r.vResolution = t.vActive;
    SetResolutionClass(r, ClassOfWidth(t.hActive));
    SetCustomResolution(r, !standard);
    ApplyResolutionClass(r);  // the codes that go with the class
    for (const char* f : {"hResolution", "vResolution", "panelFlags.resolutionClass",
                          "resolutionFlags.customResolution", "resolutionCodeA", "resolutionCodeB"})
        c.taken.push_back(f);
}

void TakeSyncTiming(PanelConversion& c, const DetailedTiming& t) {
    PanelRecord& r = c.record;
    r.maxDisplayClock = t.pixelClockKHz;
    if (t.pixelClockKHz < kMinDisplayClockKHz || t.pixelClockKHz > kMaxDisplayClockKHz)
        Refuse(c.refusals, "maxDisplayClock", "ERROR: Use values between 15 to 150 MHz !");
    const uint32_t hTotal = t.hTotal(), vTotal = t.vTotal();
    if (hTotal < 160 || hTotal > 4096) Refuse(c.refusals, "hMinTotal", "ERROR: Use values between 160 to 4096 CLKs !");
    if (vTotal < 120 || vTotal > 2048) Refuse(c.refusals, "vMinTotal", "ERROR: Use values between 120 to 2048 lines !");
    r.hMinTotal = static_cast<uint16_t>(std::min<uint32_t>(hTotal, UINT16_MAX));
    r.vMinTotal = static_cast<uint16_t>(std::min<uint32_t>(vTotal, UINT16_MAX));
    const struct {
        const char* field;
        uint16_t value;
        uint16_t& target;
    } periods[] = {{"hPulseWidth", t.hSync, r.hPulseWidth},
                   {"hBackPorch", t.hBackPorch, r.hBackPorch},
                   {"vPulseWidth", t.vSync, r.vPulseWidth},
                   {"vBackPorch", t.vBackPorch, r.vBackPorch}};
    for (const auto& p : periods) {
        if (p.value > kMaxSyncPeriod) Refuse(c.refusals, p.field, "ERROR: Do not use values over 256 !");
        p.target = p.value;
    }
    SetPanelFlag(r, kHsyncInvert, !t.hSyncPositive);
    SetPanelFlag(r, kVsyncInvert, !t.vSyncPositive);
    for (const char* f : {"maxDisplayClock", "hMinTotal", "vMinTotal", "hPulseWidth", "hBackPorch", "vPulseWidth",
                          "vBackPorch", "panelFlags.hsyncInvert", "panelFlags.vsyncInvert"})
        c.taken.push_back(f);
}

void TakeFrequencies(PanelConversion& c, const DetailedTiming& t, const EdidInfo* edid) {
    PanelRecord& r = c.record;
    // The Timing I page wants 45 <= min < typ < max <= 200.
    const int typ = RoundedHz(t);
    if (typ < 46) Refuse(c.refusals, "vFreqMin", "ERROR: Do not use values under 45 Hz !");
    if (typ > 199) Refuse(c.refusals, "vFreqMax", "ERROR: Do not use values over 200 Hz !");
    int min = typ - 1, max = typ + 1;
    if (edid && edid->rangeLimits) {
        const EdidRangeLimits& lim = *edid->rangeLimits;
        min = std::clamp<int>(lim.vMinHz, 45, std::max(45, typ - 1));
        max = std::clamp<int>(lim.vMaxHz, std::min(200, typ + 1), 200);
        if (min != lim.vMinHz || max != lim.vMaxHz)
            Note(c.notes, "vFreqMin",
                 "range limits " + Num(lim.vMinHz) + ".." + Num(lim.vMaxHz) + " Hz taken as " + Num(min) + ".." +
                     Num(max) + " Hz: the board takes 45..200 Hz, strictly around the typical " + Num(typ) + " Hz");
    } else {
        Note(c.notes, "vFreqMin",
             "no range limits: vFreqMin and vFreqMax are set to " + Num(min) + " and " + Num(max) +
                 " Hz around the timing's rate; widen them from the panel's data sheet");
    }
    r.vFreqTyp = static_cast<uint16_t>(typ);
    r.vFreqMin = static_cast<uint16_t>(std::clamp(min, 0, 65535));
    r.vFreqMax = static_cast<uint16_t>(std::clamp(max, 0, 65535));
    for (const char* f : {"vFreqTyp", "vFreqMin", "vFreqMax"}) c.taken.push_back(f);
}

void TakeIdentity(PanelConversion& c, const DetailedTiming& t, const EdidInfo* edid) {
    PanelRecord& r = c.record;
    std::string name = edid ? edid->name : "";
    if (name.empty()) {
        char text[32];
        std::snprintf(text, sizeof text, "%ux%u@%u", unsigned{t.hActive}, unsigned{t.vActive}, unsigned{RoundedHz(t)});
        name = text;
        Note(c.notes, "displayName", "no monitor name: the panel is named " + name);
    }
    std::memset(r.displayName, 0, sizeof r.displayName);
    std::memcpy(r.displayName, name.data(), std::min(name.size(), sizeof r.displayName));
    c.taken.push_back("displayName");
    const unsigned bits = edid ? edid->bitsPerColor : 0;
    if (bits == 6 || bits == 8) {
        r.colorDepth = static_cast<uint16_t>(bits);
        c.taken.push_back("colorDepth");
    } else {
        c.defaulted.push_back("colorDepth");
        if (bits != 0)
            Note(c.notes, "colorDepth",
                 "the EDID gives " + Num(bits) + " bits per colour; the board drives 6 or 8: choose the arrangement");
    }
}

}  // namespace

PanelConversion PanelFromTiming(const DetailedTiming& timing, const EdidInfo* edid) {
    PanelConversion c;
    SetPanelDefaults(c.record);
    const std::string shape = TimingShapeError(timing);
    if (!shape.empty()) Refuse(c.refusals, "timing", shape);
    if (timing.interlaced) Refuse(c.refusals, "timing", "an interlaced timing cannot drive a panel");
    TakeIdentity(c, timing, edid);
    TakeResolution(c, timing);
    TakeFrequencies(c, timing, edid);
    TakeSyncTiming(c, timing);
    for (const char* f : {"manufacturer", "panelFlags.correction", "panelFlags.clockInvert", "panelFlags.dualPixel",
                          "panelFlags.useGamma", "outputDrive.dataLinesDrive", "outputDrive.dclkAdjust",
                          "outputDrive.clockDrive", "outputDrive.controlLinesDrive", "kesaId", "powerOnT1", "powerOnT2",
                          "powerOffT3", "powerOffT4", "gammaTable"})
        c.defaulted.push_back(f);
    return c;
}

// ---------------------------------------------------------------------------
// Mode table entries
// ---------------------------------------------------------------------------

namespace {

constexpr unsigned kScanNormal = 0, kScanOverlapped720x400 = 1, kScanOverlapped640x350 = 2, kScanInterlaced = 3;

// The entry's values in 64 bits, before any check.
TypedModeEntry TypedValues(const DetailedTiming& t) {
    TypedModeEntry v;
    const uint64_t hTotal = t.hTotal(), vTotal = t.vTotal();
    v.hFreq = hTotal ? static_cast<int64_t>(uint64_t{t.pixelClockKHz} * 10 / hTotal) : 0;
    v.vFreq = static_cast<int64_t>(VFreqMilliHz(t) / 100);
    v.hTotal = static_cast<int64_t>(hTotal);
    v.vTotal = static_cast<int64_t>(vTotal);
    v.activeWidth = t.hActive;
    v.activeHeight = t.vActive;
    v.hStart = int64_t{t.hSync} + t.hBackPorch;
    v.vStart = (int64_t{t.vSync} + t.vBackPorch) * (t.interlaced ? 2 : 1);
    if (t.interlaced) v.scanType = kScanInterlaced;
    else if (t.hActive == 720 && t.vActive == 400) v.scanType = kScanOverlapped720x400;
    else if (t.hActive == 640 && t.vActive == 350) v.scanType = kScanOverlapped640x350;
    else v.scanType = kScanNormal;
    return v;
}

struct Windows {
    int64_t value[3];  // hFreq, vFreq, vTotal
    int64_t tol[3];
};
constexpr const char* kWindowField[3] = {"hFreqTol", "vFreqTol", "vTotalTol"};
constexpr int64_t kMinTolerance = 1;

// Narrows one tolerance so that the windows of the entry and of a neighbour
// converted by the same rule no longer overlap. The tolerance that keeps the
// largest part of its starting value is narrowed. False when no tolerance of
// at least kMinTolerance does it.
bool Separate(Windows& w, const int64_t start[3], const int64_t other[3]) {
    int best = -1;
    int64_t bestTol = 0;
    for (int k = 0; k < 3; ++k) {
        const int64_t distance = std::llabs(w.value[k] - other[k]);
        if (distance > 2 * w.tol[k]) return true;  // already apart
        const int64_t tol = (distance - 1) / 2;
        if (tol < kMinTolerance) continue;
        if (best < 0 || tol * start[best] > bestTol * start[k]) {
            best = k;
            bestTol = tol;
        }
    }
    if (best < 0) return false;
    w.tol[best] = bestTol;
    return true;
}

std::string NeighbourName(const DetailedTiming& n) {
    for (const DmtMode& m : DmtList())
        if (m.timing == n) return DmtName(m);
    return DescribeTiming(n);
}

void NarrowTolerances(ModeConversion& c, const DetailedTiming& t, const TypedModeEntry& v, const ModeEntryOptions& o,
                      std::span<const DetailedTiming> neighbours) {
    const int64_t start[3] = {o.hFreqTol, o.vFreqTol, o.vTotalTol};
    Windows w{{v.hFreq, v.vFreq, v.vTotal}, {start[0], start[1], start[2]}};
    for (const DetailedTiming& n : neighbours) {
        if (n.interlaced != t.interlaced) continue;  // the scan type tells them apart
        const TypedModeEntry nv = TypedValues(n);
        const int64_t other[3] = {nv.hFreq, nv.vFreq, nv.vTotal};
        const bool sameWindows = other[0] == w.value[0] && other[1] == w.value[1] && other[2] == w.value[2];
        if (sameWindows && n.hActive == t.hActive && n.vActive == t.vActive) continue;  // the mode itself
        if (Separate(w, start, other)) continue;
        Note(c.notes, "hFreqTol",
             NeighbourName(n) + (nv.scanType != v.scanType ? ": only the scan type tells it apart"
                                                           : " has about the same rates and total: the board "
                                                             "cannot tell it apart"));
    }
    for (int k = 0; k < 3; ++k)
        if (w.tol[k] != start[k])
            Note(c.notes, kWindowField[k],
                 std::string(kWindowField[k]) + " narrowed from " + Num(start[k]) + " to " + Num(w.tol[k]) +
                     " to tell neighbouring standard modes apart");
    c.entry.hFreqTol = static_cast<uint8_t>(w.tol[0]);
    c.entry.vFreqTol = static_cast<uint8_t>(w.tol[1]);
    c.entry.vTotalTol = static_cast<uint8_t>(w.tol[2]);
}

const std::vector<DetailedTiming>& DmtTimings() {
    static const std::vector<DetailedTiming> timings = [] {
        std::vector<DetailedTiming> out;
        for (const DmtMode& m : DmtList()) out.push_back(m.timing);
        return out;
    }();
    return timings;
}

}  // namespace

ModeConversion ModeEntryFromTiming(const DetailedTiming& timing, const ModeEntryOptions& options) {
    return ModeEntryFromTiming(timing, options, DmtTimings());
}

ModeConversion ModeEntryFromTiming(const DetailedTiming& timing, const ModeEntryOptions& options,
                                   std::span<const DetailedTiming> neighbours) {
    ModeConversion c;
    TypedModeEntry v = TypedValues(timing);
    v.enables = options.enables & kEnableMask;
    v.hFreqTol = options.hFreqTol;
    v.vFreqTol = options.vFreqTol;
    v.vTotalTol = options.vTotalTol;
    const std::string shape = TimingShapeError(timing);
    if (!shape.empty()) Refuse(c.refusals, "timing", shape);
    for (ModeEntryFault fault : ModeEntryFaults(v))
        Refuse(c.refusals, ModeEntryFaultField(fault), ModeEntryFaultMessage(fault));
    if (!c.ok()) return c;  // nothing is cut to fit
    StoreTypedModeEntry(v, c.entry);
    NarrowTolerances(c, timing, v, options, neighbours);
    return c;
}

bool ModeEntryTakes(const ModeEntry& entry, const DetailedTiming& timing) {
    if ((ScanType(entry) == kScanInterlaced) != timing.interlaced) return false;
    const TypedModeEntry v = TypedValues(timing);
    return std::llabs(v.hFreq - entry.hFreq) <= entry.hFreqTol && std::llabs(v.vFreq - entry.vFreq) <= entry.vFreqTol &&
           std::llabs(v.vTotal - entry.vTotal) <= entry.vTotalTol;
}

std::vector<const DmtMode*> DmtModesTakenBy(const ModeEntry& entry) {
    std::vector<const DmtMode*> out;
    for (const DmtMode& m : DmtList())
        if (ModeEntryTakes(entry, m.timing)) out.push_back(&m);
    return out;
}
