// Screenshots of the File and Platform pages, the two selection boxes and the
// status window, alone and in the middle of a real transfer.
#include "screenshot_tool.h"

#include "editor_style.h"
#include "selection_box.h"
#include "status_window.h"
#include "tolvane/editor_state.h"
#include "transfer_sheet.h"
#include "transfers.h"
#include "vantrel_board/board.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <memory>

TOLVANE_SHOT(file_page, [](EditorState& state) -> QWidget* {
    state.editPanel = state.panel;
    state.editModeTable = state.modeTable;
    return new TransferSheet(state, nullptr);
});

TOLVANE_SHOT(platform_page, [](EditorState& state) -> QWidget* {
    state.editPanel = state.panel;
    state.editModeTable = state.modeTable;
    auto* sheet = new TransferSheet(state, nullptr);
    sheet->turnToPage(1);
    return sheet;
});

TOLVANE_SHOT(selection_box_750, [](EditorState& state) -> QWidget* {
    return new SelectionBox(state, SelectionBox::Layout::WithPanelChoice);
});

TOLVANE_SHOT(selection_box_751, [](EditorState& state) -> QWidget* {
    return new SelectionBox(state, SelectionBox::Layout::WithoutPanelChoice);
});

// The bar where a panel read with its gamma table stands after 144 of the
// table's 256 bytes.
TOLVANE_SHOT(status_window, [](EditorState&) -> QWidget* {
    auto* window = new StatusWindow(nullptr, captionFont());
    window->setPosition(56);
    return window;
});

// A real transfer: the Platform page reads the mode table from an emulated
// board paced at 57600 baud, and the screen around the sheet is taken when the
// bar has passed half way.
TOLVANE_SHOT(status_window_live, [](EditorState& state) -> QWidget* {
    static vantrel_board::Board board;  // outlives the shot: the link may still drain
    if (!board.Running() && !board.Start()) return nullptr;
    qputenv("VANTREL_COM1", board.SlavePath().c_str());
    state.editPanel = state.panel;
    state.editModeTable = state.modeTable;
    auto sheet = std::make_unique<TransferSheet>(state, nullptr);
    sheet->turnToPage(1);
    sheet->show();
    if (!QTest::qWaitForWindowExposed(sheet.get())) return nullptr;
    QTest::qWait(100);

    QPixmap taken;
    const QRect area = sheet->frameGeometry();
    TransferProgressObserver old = SetTransferProgressObserver([&](int position) {
        if (position >= 50 && taken.isNull())
            taken = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    });
    if (auto* read = sheet->findChild<QAbstractButton*>(QStringLiteral("readModeButton"))) read->click();
    SetTransferProgressObserver(std::move(old));
    if (taken.isNull()) return nullptr;
    auto* picture = new QLabel;
    picture->setPixmap(taken);
    picture->setContentsMargins(0, 0, 0, 0);
    return picture;
});
