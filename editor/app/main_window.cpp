#include "main_window.h"

#include "config_dialog.h"
#include "editor_style.h"
#include "mode_table_dialog.h"
#include "panel_data_sheet.h"
#include "panel_pages.h"
#include "pictures.h"
#include "tolvane/editor_state.h"
#include "transfer_sheet.h"
#include "ui_MainWindow.h"

#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>

MainWindow::MainWindow(EditorState& state, QWidget* parent)
    : QDialog(parent), state_(state), ui_(std::make_unique<Ui::MainWindow>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    ui_->exitButton->setFont(captionFont());
    // Every picture is loaded now, once, and shared by the pages.
    for (const EditorPictureInfo& entry : EditorPictureList()) EditorPicture(entry.name);
    ui_->logoLabel->setPixmap(EditorPicture(QStringLiteral("MainLogo")));
    ui_->mainImage->setPixmap(EditorPicture(QStringLiteral("MainImage")));

    struct {
        BitmapButton* button;
        const char* faces;
        const char* description;  // no label stands beside these: what the face shows
        void (MainWindow::*action)();
    } const buttons[] = {
        {ui_->editButton, "Edit", "Edit panel data", &MainWindow::editPanelData},
        {ui_->modesButton, "Modes", "Edit mode table", &MainWindow::editModeTable},
        {ui_->transferButton, "Trans", "Transfer panel data and mode table", &MainWindow::transferData},
        {ui_->configButton, "Conf", "Configuration", &MainWindow::configure},
    };
    for (const auto& b : buttons) {
        b.button->setFacesByName(QLatin1String(b.faces));
        b.button->setFocusGeometry(QMargins(10, 5, 10, 5), QPoint(2, 2));
        DescribePictureButton(b.button, QLatin1String(b.description));
        connect(b.button, &QAbstractButton::clicked, this, b.action);
    }
    connect(ui_->exitButton, &QPushButton::clicked, this, &QDialog::reject);

    // The hidden picture lies over the window, centred on it.
    author_ = new QLabel(this);
    author_->setObjectName(QStringLiteral("authorPicture"));
    author_->setPixmap(EditorPicture(QStringLiteral("Author")));
    author_->setFixedSize(270, 244);
    // Only a picture: clicks reach the buttons it covers.
    author_->setAttribute(Qt::WA_TransparentForMouseEvents);
    author_->hide();
    for (const QKeySequence& keys :
         {QKeySequence(Qt::ALT | Qt::Key_I), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_I)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &MainWindow::toggleAuthorPicture);
    }
    ui_->editButton->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::editPanelData() {
    state_.editPanel = state_.panel;
    state_.hideSelectionBox = false;
    state_.resolutionChanged = false;
    ClearPanelPages();
    if (ShowPanelDataSheet(state_, this) > 0) {
        state_.panelDataAvailable = true;
        state_.panel = state_.editPanel;
    }
    takeBackFocus();
}

void MainWindow::editModeTable() {
    state_.editModeTable = state_.modeTable;
    state_.hideSelectionBox = false;
    if (ShowModeTableDialog(state_, this) != 0) {
        state_.modeTableAvailable = true;
        state_.modeTable = state_.editModeTable;
    }
    takeBackFocus();
}

void MainWindow::transferData() {
    state_.editPanel = state_.panel;
    state_.editModeTable = state_.modeTable;
    // The pages set the availability flags themselves. On Cancel the data
    // they loaded or read is dropped, and so are the flags that came with it:
    // a flag left set over the old data would let a later write send the
    // start-up defaults to the board.
    const bool panelDataAvailable = state_.panelDataAvailable;
    const bool modeTableAvailable = state_.modeTableAvailable;
    if (ShowTransferSheet(state_, this) > 0) {
        state_.panel = state_.editPanel;
        state_.modeTable = state_.editModeTable;
    } else {
        state_.panelDataAvailable = panelDataAvailable;
        state_.modeTableAvailable = modeTableAvailable;
    }
    takeBackFocus();
}

void MainWindow::configure() {
    ShowConfigDialog(state_.config, this);
    takeBackFocus();
}

void MainWindow::takeBackFocus() {
    // Without a window manager nobody hands the keyboard back to the main
    // window when a dialog ends, and its shortcuts would stay dead.
    if (isVisible()) activateWindow();
}

bool MainWindow::authorPictureShown() const { return author_->isVisible(); }

QRect MainWindow::authorPictureRect() const { return author_->geometry(); }

void MainWindow::toggleAuthorPicture() {
    if (author_->isVisible()) {
        author_->hide();
        return;
    }
    // Centred on the whole window frame, placed in the client area.
    const QRect frame = frameGeometry();
    author_->move((frame.width() - 270) / 2, (frame.height() - 244) / 2);
    author_->raise();
    author_->show();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // As in a dialog of buttons only, the captions' letters work without Alt too.
    if (event->modifiers() == Qt::NoModifier) {
        for (QAbstractButton* button :
             {static_cast<QAbstractButton*>(ui_->editButton), static_cast<QAbstractButton*>(ui_->modesButton),
              static_cast<QAbstractButton*>(ui_->transferButton), static_cast<QAbstractButton*>(ui_->configButton),
              static_cast<QAbstractButton*>(ui_->exitButton)}) {
            if (QKeySequence::mnemonic(button->text()) == QKeySequence(Qt::ALT | event->key())) {
                button->animateClick();
                return;
            }
        }
    }
    QDialog::keyPressEvent(event);
}
