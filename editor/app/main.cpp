// Tolvane2: the panel editor of the Vantrel-2 LCD controller board.
#include "editor_config.h"
#include "startup.h"
#include "tolvane/editor_state.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The configuration file stays in the folder chosen at start (the start
    // folder, or the user's configuration folder for a menu start), whatever
    // folder a save dialog moves to later.
    const QString folder = EditorConfigFolderAtStart();
    PinEditorConfigFolder(folder, folder != QDir::currentPath());
    static EditorState state;  // lives for the whole run
    return RunEditor(state);
}
