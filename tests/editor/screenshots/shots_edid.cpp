// Screenshots after the emulated board's EDID was loaded on the File page:
// the message that tells what was imported, and the Timing I and Timing II
// pages showing the imported panel.
#include "screenshot_tool.h"

#include "file_dialogs.h"
#include "messages.h"
#include "panel_data_sheet.h"
#include "panel_pages.h"
#include "tolvane/editor_state.h"
#include "transfer_sheet.h"
#include "vantrel_board/board.h"

#include <QAbstractButton>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

namespace {

// Loads the board's factory EDID through the File page's panel load and
// returns the message it showed.
QString ImportFactoryEdid(EditorState& state) {
    state.editPanel = state.panel;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.dat"));
    QFile file(path);
    const auto edid = vantrel_board::FactoryEdid();
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(reinterpret_cast<const char*>(edid.data()), 128);
    file.close();
    QString message;
    const FileChooser oldChooser = SetFileChooser([&](const FileDialogRequest&) { return path; });
    const WarningSink oldSink = SetWarningSink([&](const QString&, const QString& text) { message = text; });
    {
        TransferSheet sheet(state, nullptr);
        if (auto* load = sheet.findChild<QAbstractButton*>(QStringLiteral("loadPanelButton"))) load->click();
    }
    SetWarningSink(oldSink);
    SetFileChooser(oldChooser);
    return message;
}

PanelDataSheet* SheetAt(EditorState& state, std::initializer_list<int> pages) {
    ImportFactoryEdid(state);
    auto* sheet = new PanelDataSheet(state, nullptr);
    for (int page : pages) sheet->turnToPage(page);
    return sheet;
}

}  // namespace

TOLVANE_SHOT(edid_import_message, [](EditorState& state) -> QWidget* {
    auto* box = new QMessageBox(QMessageBox::Warning, kDefaultWarningTitle, ImportFactoryEdid(state), QMessageBox::Ok);
    return box;
});

TOLVANE_SHOT(edid_import_timing1, [](EditorState& state) -> QWidget* { return SheetAt(state, {kTiming1Page}); });

TOLVANE_SHOT(edid_import_timing2, [](EditorState& state) -> QWidget* {
    return SheetAt(state, {kTiming1Page, kTiming2Page});
});
