#include "startup.h"

#include "editor_config.h"
#include "editor_style.h"
#include "main_window.h"
#include "tolvane/editor_state.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "vantrel.h"

#include <QApplication>

void PrepareEditor(EditorState& state) {
    CreateDrawingTools();
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::setFont(ordinaryFont());
    SetPanelDefaults(state.panel);
    if (!LoadEditorConfig(state.config)) {
        state.config.serialPort = 1;
        state.config.writeHotkey = 1;
    }
    SetModeTableDefaults(state.modeTable);
}

int RunEditor(EditorState& state) {
    PrepareEditor(state);
    {
        MainWindow window(state, nullptr);
        window.exec();
    }
    CloseSerialCommunication();
    DeleteDrawingTools();
    return 1;
}
