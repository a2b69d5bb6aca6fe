// Panel data from a display's EDID file, for the File page's panel load.
//
// A file is taken as an EDID when it begins with the 8-byte EDID header,
// whatever its name. The preferred detailed timing goes through the model's
// one conversion to a panel record (PanelFromTiming), as on the command line.
// Nothing is imported from an EDID with any error, a wrong checksum included:
// the editor has no way to force it.
#pragma once

#include <tolvane/records.h>

#include <QString>
#include <filesystem>

struct EdidFileImport {
    bool recognised = false;  // the file is an EDID, or an EDID whose header is damaged
    bool imported = false;    // `record` holds the imported panel
    PanelRecord record{};
    QString message;  // the failure, or what was taken, left at its defaults and noted
};

// Reads `path`; when it holds no EDID, `recognised` is false and nothing else
// is filled (the caller reads it as a panel file).
EdidFileImport ImportEdidFile(const std::filesystem::path& path);
