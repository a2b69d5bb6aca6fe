// Checks of panel records and mode tables without any window: the checks the
// editor's pages make before they store a value (same texts), and what an
// engineer checks by hand before a panel or a mode table goes to a board
// (timing sums, pixel clock, list indices, overlapping modes, line rates).
#pragma once

#include <string>
#include <vector>

#include "tolvane/records.h"

enum class CheckSeverity { Error, Warning };

struct CheckFinding {
    CheckSeverity severity;
    std::string field;    // path of the field, as in the JSON form: "hMinTotal", "entries[3].vStart"
    std::string message;  // the editor's own text where the editor has one
};

// Every finding for a panel record, in the order of the editor's pages.
std::vector<CheckFinding> CheckPanelRecord(const PanelRecord& record);

// The mode editor's fourteen checks of one entry (all of them, not only the
// first that fails). `prefix` goes in front of each field name.
std::vector<CheckFinding> CheckModeEntry(const ModeEntry& entry, const std::string& prefix = "");

// Two entries the board cannot tell apart: they share an enabled input, and
// their line frequency, frame frequency and total line windows (value +-
// tolerance, bounds included) all meet. CheckModeTable reports such pairs.
bool ModesOverlap(const ModeEntry& a, const ModeEntry& b);

// Every entry of the table, then the checks across entries: duplicate or
// overlapping modes, line rate against frame rate x total lines, data left
// in slots beyond modeCount.
std::vector<CheckFinding> CheckModeTable(const ModeTable& table);

// True when any finding is an error.
bool HasCheckError(const std::vector<CheckFinding>& findings);
