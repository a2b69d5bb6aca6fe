// Screenshots of the main window, the configuration dialog, the sheets and
// the help boxes.
#include "screenshot_tool.h"

#include "config_dialog.h"
#include "help_box.h"
#include "main_window.h"
#include "panel_data_sheet.h"
#include "tolvane/editor_state.h"
#include "transfer_sheet.h"

#include <QTimer>

TOLVANE_SHOT(main_window, [](EditorState& state) -> QWidget* { return new MainWindow(state); });

TOLVANE_SHOT(main_window_author, [](EditorState& state) -> QWidget* {
    auto* window = new MainWindow(state);
    QTimer::singleShot(0, window, &MainWindow::toggleAuthorPicture);
    return window;
});

TOLVANE_SHOT(config_dialog, [](EditorState& state) -> QWidget* { return new ConfigDialog(state.config); });

TOLVANE_SHOT(panel_data_sheet, [](EditorState& state) -> QWidget* {
    state.editPanel = state.panel;
    return new PanelDataSheet(state, nullptr);
});

TOLVANE_SHOT(transfer_sheet, [](EditorState& state) -> QWidget* {
    state.editPanel = state.panel;
    state.editModeTable = state.modeTable;
    return new TransferSheet(state, nullptr);
});

TOLVANE_SHOT(help_970_interface, [](EditorState&) -> QWidget* { return new HelpBox(kHelpInterfaceArrangement); });
TOLVANE_SHOT(help_971_kesa, [](EditorState&) -> QWidget* { return new HelpBox(kHelpKesaIdentification); });
TOLVANE_SHOT(help_972_timing, [](EditorState&) -> QWidget* { return new HelpBox(kHelpTiming); });
TOLVANE_SHOT(help_973_power, [](EditorState&) -> QWidget* { return new HelpBox(kHelpPowerTiming); });
TOLVANE_SHOT(help_974_address, [](EditorState&) -> QWidget* { return new HelpBox(kHelpDeviceAddress); });
TOLVANE_SHOT(help_975_modes, [](EditorState&) -> QWidget* { return new HelpBox(kHelpModeTable); });
