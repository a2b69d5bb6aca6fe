// Tolvane2: the panel editor of the Vantrel-2 LCD controller board.
#include "editor_config.h"
#include "startup.h"
#include "tolvane/editor_state.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The configuration file stays in the folder the editor was started in,
    // whatever folder a save dialog moves to later.
    PinEditorConfigFolder(QDir::currentPath());
    static EditorState state;  // lives for the whole run
    return RunEditor(state);
}
