// Readable summaries of the three file kinds, with the editor's own labels and list texts.
#pragma once

#include <ostream>

#include "files/record_files.h"

namespace cli {

void ShowPanel(std::ostream& out, const PanelRecord& record);
void ShowModes(std::ostream& out, const ModeTable& table);
void ShowGamma(std::ostream& out, const GammaTable& table);
void ShowRecordFile(std::ostream& out, const RecordFile& file);

// Field-by-field differences of two files of the same kind, one line each
// ("hMinTotal: 1184 -> 1200"); empty when they are the same.
struct FieldDifference {
    std::string field;
    Json a;
    Json b;
};
std::vector<FieldDifference> DiffRecords(const RecordFile& a, const RecordFile& b);

}  // namespace cli
