// The open and save dialogs for panel, mode and gamma table files.
//
// Both dialogs go through one replaceable chooser, so tests pick paths without
// a dialog on screen. The chosen path lands in EditorState::currentFilePath.
#pragma once

#include <tolvane/files.h>

#include <QString>
#include <functional>

class QWidget;
struct EditorState;

// Everything a chooser needs to show one dialog.
struct FileDialogRequest {
    QWidget* owner = nullptr;
    bool save = false;      // save dialog (ask before overwriting) or open dialog (file must exist)
    QString title;          // e.g. "  LOAD PANEL DATA", two leading blanks kept
    QString nameFilter;     // Qt filter string, e.g. "Panel files (*.PNL *.pnl)"
    QString defaultSuffix;  // "PNL", "MOD" or "GAM", appended to a name typed without one
};

// Returns the chosen path, or an empty string when the user cancelled.
using FileChooser = std::function<QString(const FileDialogRequest& request)>;

// Replaces the chooser; an empty function restores the standard dialogs.
// Returns the previous chooser.
FileChooser SetFileChooser(FileChooser chooser);

// Turns a stored filter text ("Desc#pattern#") into a Qt name filter. On
// systems with case-sensitive file names the lower-case pattern is added, so
// files named *.pnl by other systems are listed too.
QString NameFilterFromStoredText(const QString& storedFilter);

// Shows the open dialog; on a choice sets currentFilePath and fileNameOffset
// and returns 1, else returns 0 and changes nothing. `extraFilters` (Qt
// filters, ";;" between them) are listed after the kind's own, which stays
// the one selected.
int PickFileToOpen(EditorState& state, QWidget* owner, FileKind kind, const QString& extraFilters = QString());

// Shows the save dialog; on a choice sets currentFilePath (with the default
// extension added when the name has none) and returns 1, else returns 0.
int PickFileToSave(EditorState& state, QWidget* owner, FileKind kind);
