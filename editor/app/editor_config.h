// The configuration file "Tolvane2.cfg": serial port and write hotkey, two
// little-endian 16-bit values, nothing else.
//
// The file lives in the folder the program was started in. The path is pinned
// at start-up, because a save dialog may change the current folder during the
// run and the configuration must not move with it.
#pragma once

#include <QString>

#include "tolvane/editor_state.h"

inline const QString kEditorConfigFileName = QStringLiteral("Tolvane2.cfg");

// Pins the file to `folder`/Tolvane2.cfg (start-up passes the folder that
// EditorConfigFolderAtStart chooses). With createOnSave (the user's
// configuration folder) a folder that does not exist yet is made when the
// file is saved; a start folder is never made.
void PinEditorConfigFolder(const QString& folder, bool createOnSave = false);

// Where the editor keeps Tolvane2.cfg for this start. Started from a shell,
// it is the folder it was started in. Started from the desktop menu (the
// entry sets TOLVANE2_FROM_MENU=1, or the start folder is the home folder or
// "/" and holds no Tolvane2.cfg) it is the user's configuration folder,
// $XDG_CONFIG_HOME/tolvane2 or else ~/.config/tolvane2, not loose in the
// home folder. On Windows it is always the start folder.
struct EditorStartPlace {
    QString current;        // the current folder at start
    QString home;           // the home folder
    QString xdgConfigHome;  // XDG_CONFIG_HOME, empty when not set
    bool fromMenu = false;  // TOLVANE2_FROM_MENU is set to 1
};
QString EditorConfigFolderFor(const EditorStartPlace& place);
// The same for this process: current folder and environment.
QString EditorConfigFolderAtStart();
// Absolute path of the file; pinned to the current folder on first use if
// nothing pinned it before.
QString EditorConfigPath();
// Tests: use exactly this path.
void SetEditorConfigPath(const QString& path);

// Reads the file into `config`. Returns 1 when exactly 4 bytes were read,
// else 0 and `config` is left as it was. The values are not checked.
int LoadEditorConfig(EditorConfig& config);

// Writes `config` to the file: into a private temporary file beside it,
// flushed and then renamed over it, so that a failed save leaves the old file
// whole (see WriteWholeFile for links, modes and read-only folders).
// Returns 1 when the 4 bytes were written and the file replaced, else 0.
int SaveEditorConfig(const EditorConfig& config);

// The 4 bytes of the file for `config`, and back (false unless exactly 4).
QByteArray EncodeEditorConfig(const EditorConfig& config);
bool DecodeEditorConfig(const QByteArray& bytes, EditorConfig& config);
