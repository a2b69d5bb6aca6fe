// panel from-edid, panel from-timing, modes add and modes check --standards:
// a timing of an EDID or of a standard into the board's panel and mode data.
#include <algorithm>

#include "file_policy.h"
#include "files/file_commands.h"
#include "files/record_files.h"
#include "files/timing_commands.h"
#include "text_out.h"
#include "tolvane/panel_checks.h"
#include "tolvane/timing_conversions.h"
#include "tolvane/timing_standards.h"

namespace cli {
namespace {

std::string Joined(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : ", ") + n;
    return s.empty() ? "none" : s;
}

bool EndsWithJson(const std::string& path) {
    if (path.size() < 5) return false;
    std::string end = path.substr(path.size() - 5);
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
    return end == ".json";
}

// Writes a record file in the form its name asks for: the JSON form for
// ".json", else the binary file ("-": the binary file on standard output).
bool WriteRecord(const RecordFile& file, const std::string& outFile, bool json, Output& o) {
    std::string error;
    const bool ok =
        json ? WriteOutput(outFile, DumpJson(RecordToJson(file)) + "\n", false, WriteFailureText(file.kind), o, error)
             : WriteOutput(outFile, RecordFileBytes(file), true, WriteFailureText(file.kind), o, error);
    if (!ok) o.Error() << error;
    return ok;
}

// The conversion's outcome: refusals as errors (nothing is written), notes,
// the fields taken and left, then the panel file.
int FinishPanel(const PanelConversion& c, const std::string& from, const std::string& outFile, Output& o) {
    for (const auto& r : c.refusals) o.Error() << r.field << ": " << r.message;
    if (!c.ok()) {
        o.Error() << "no panel file written: the board cannot hold the values of " << from;
        return 1;
    }
    for (const auto& f : CheckPanelRecord(c.record))
        if (f.severity == CheckSeverity::Error) o.Error() << f.field << ": " << f.message;
    if (HasCheckError(CheckPanelRecord(c.record))) {
        o.Error() << "no panel file written: the panel made from " << from << " fails its checks";
        return 1;
    }
    RecordFile file;
    file.kind = FileKindId::Panel;
    file.panel = c.record;
    if (!WriteRecord(file, outFile, EndsWithJson(outFile), o)) return 1;
    for (const auto& n : c.notes) o.Note() << n.field << ": " << n.message;
    if (o.json) {
        Json notes = Json::array();
        for (const auto& n : c.notes) notes.push_back(Json{{"field", n.field}, {"message", n.message}});
        o.WriteJson(Json{{"output", outFile == "-" ? "-" : ShownPath(outFile)},
                         {"from", from},
                         {"taken", c.taken},
                         {"defaulted", c.defaulted},
                         {"notes", notes}});
        return 0;
    }
    o.Note() << "panel file from " << from << " written to "
             << (outFile == "-" ? "standard output" : ShownPath(outFile));
    o.Note() << "taken: " << Joined(c.taken);
    o.Note() << "left at their defaults: " << Joined(c.defaulted);
    return 0;
}

std::string EntryName(const ModeEntry& e, int index) {
    return "entry " + std::to_string(index + 1) + " (" + std::to_string(e.activeWidth) + "x" +
           std::to_string(e.activeHeight) + ")";
}

bool LoadModes(const std::string& path, RecordFile& file, Output& o) {
    return LoadWithWarnings(path, FileKindId::Modes, file, o);
}

}  // namespace

int CmdPanelFromEdid(const std::string& edidFile, int timingIndex, bool force, const std::string& outFile, Output& o) {
    const auto info = LoadEdid(edidFile, o);
    if (!info) return 1;
    if (HasEdidError(*info) && !force) {
        o.Error() << "nothing imported from " << ShownPath(edidFile)
                  << " because of the errors above (--force imports it anyway)";
        return 1;
    }
    if (info->detailedTimings.empty()) {
        o.Error() << ShownPath(edidFile) << " has no detailed timing to import";
        return 1;
    }
    const EdidTiming* t = PreferredTiming(*info);
    if (timingIndex != 0) {
        if (timingIndex < 1 || static_cast<std::size_t>(timingIndex) > info->detailedTimings.size()) {
            o.Error() << "--timing " << timingIndex << ": " << ShownPath(edidFile) << " has detailed timings 1.."
                      << info->detailedTimings.size();
            return 1;
        }
        t = &info->detailedTimings[static_cast<std::size_t>(timingIndex) - 1];
    }
    return FinishPanel(PanelFromTiming(t->timing, &*info), "the EDID's " + DescribeTiming(t->timing), outFile, o);
}

int CmdPanelFromTiming(const TimingRequest& r, const std::string& outFile, Output& o) {
    std::string name;
    const auto t = TimingFromRequest(r, name, o);
    if (!t) return 1;
    return FinishPanel(PanelFromTiming(*t), name, outFile, o);
}

int CmdModesAdd(const std::string& path, const TimingRequest& r, const std::string& outFile, Output& o) {
    RecordFile file;
    if (!LoadModes(path, file, o)) return 1;
    std::string name;
    const auto t = TimingFromRequest(r, name, o);
    if (!t) return 1;
    ModeTable& table = file.modes;
    const int count = std::min<int>(table.modeCount, 38);
    if (table.modeCount >= 38) {
        o.Error() << ShownPath(path) << ": the mode table is full (38 entries); nothing added";
        return 1;
    }
    const ModeConversion c = ModeEntryFromTiming(*t);
    for (const auto& f : c.refusals) o.Error() << f.field << ": " << f.message;
    if (!c.ok()) {
        o.Error() << "no entry added: the mode editor refuses the entry of " << name;
        return 1;
    }
    bool overlaps = false;
    for (int i = 0; i < count; ++i) {
        if (!ModesOverlap(c.entry, table.entries[i])) continue;
        o.Error() << "the entry of " << name << " overlaps " << EntryName(table.entries[i], i)
                  << " on a shared input (the board could not tell them apart)";
        overlaps = true;
    }
    if (overlaps) {
        o.Error() << "no entry added to " << ShownPath(path);
        return 1;
    }
    table.entries[count] = c.entry;
    table.modeCount = static_cast<uint16_t>(count + 1);
    const std::string target = outFile.empty() ? path : outFile;
    if (!WriteRecord(file, target, outFile.empty() ? file.fromJson : EndsWithJson(outFile), o)) return 1;
    for (const auto& n : c.notes) o.Note() << n.field << ": " << n.message;
    o.Note() << name << " added as " << EntryName(c.entry, count) << " to "
             << (target == "-" ? "standard output" : ShownPath(target));
    return 0;
}

int CmdModesCheckStandards(const std::string& path, Output& o) {
    RecordFile file;
    if (!LoadModes(path, file, o)) return 1;
    const ModeTable& table = file.modes;
    Json entries = Json::array();
    for (int i = 0; i < std::min<int>(table.modeCount, 38); ++i) {
        const ModeEntry& e = table.entries[i];
        const auto taken = DmtModesTakenBy(e);
        std::vector<std::string> names;
        for (const DmtMode* m : taken) names.push_back(DmtName(*m));
        entries.push_back(Json{{"entry", i + 1}, {"standards", names}});
        if (taken.empty()) o.Note() << "warning: " << EntryName(e, i) << " matches no standard mode";
        if (taken.size() > 1)
            o.Note() << "warning: " << EntryName(e, i) << " takes " << Joined(names)
                     << ": the board could not tell them apart";
        if (!o.json) o.out << EntryName(e, i) << ": " << (names.empty() ? "no standard mode" : Joined(names)) << "\n";
    }
    if (o.json) o.WriteJson(Json{{"file", ShownPath(path)}, {"entries", entries}});
    return 0;
}

}  // namespace cli
