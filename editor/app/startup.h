// Start-up and shutdown of the editor.
#pragma once

struct EditorState;

// Steps before the main window: drawing tools, panel defaults, the
// configuration (COM1 and F2 when the file is missing, unreadable or short)
// and the mode table defaults.
void PrepareEditor(EditorState& state);

// The whole run: PrepareEditor, the main window shown modally, then the link
// closed (so that no receive thread survives) and the drawing tools deleted.
// Returns the program's exit status, 1.
int RunEditor(EditorState& state);
