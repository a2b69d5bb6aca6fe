#include "file_page.h"

#include "bitmap_button.h"
#include "editor_strings.h"
#include "editor_style.h"
#include "file_dialogs.h"
#include "file_page_edid.h"
#include "messages.h"
#include "pages.h"
#include "pictures.h"
#include "ui_FilePage.h"

#include <tolvane/editor_state.h>
#include <tolvane/file_io.h>
#include <tolvane/files.h>
#include <tolvane/panel.h>

namespace {

// Focus rectangles of this page's picture buttons; "&N" is drawn narrower.
const QMargins kNewFocusInset(2, 3, 5, 4);
const QMargins kFocusInset(2, 3, 3, 4);
const QPoint kPressedOffset(1, 1);

void SetUpPictureButton(BitmapButton* button, const char* faces, const QMargins& inset = kFocusInset) {
    button->setFacesByName(QLatin1String(faces));
    button->setFocusGeometry(inset, kPressedOffset);
}

}  // namespace

FilePage::FilePage(EditorState& state, QWidget* parent)
    : SheetPage(parent), state_(state), ui_(std::make_unique<Ui::FilePage>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    // The controls sit at fixed places: the sheet must leave the page its size.
    setMinimumSize(size());
    ui_->diskImage->setPixmap(EditorPicture(QStringLiteral("DiskImage")));
    SetCaptionFont({ui_->panelGroup, ui_->modeGroup});
    SetUpPictureButton(ui_->newPanelButton, "New", kNewFocusInset);
    SetUpPictureButton(ui_->loadPanelButton, "Load");
    SetUpPictureButton(ui_->savePanelButton, "Save");
    SetUpPictureButton(ui_->loadModeButton, "LoadM");
    SetUpPictureButton(ui_->saveModeButton, "SaveM");
    DescribePictureButton(ui_->newPanelButton, {ui_->newPanelLabel1, ui_->newPanelLabel2});
    DescribePictureButton(ui_->loadPanelButton, {ui_->loadPanelLabel1, ui_->loadPanelLabel2});
    DescribePictureButton(ui_->savePanelButton, {ui_->savePanelLabel1, ui_->savePanelLabel2});
    DescribePictureButton(ui_->loadModeButton, {ui_->loadModeLabel1, ui_->loadModeLabel2});
    DescribePictureButton(ui_->saveModeButton, {ui_->saveModeLabel1, ui_->saveModeLabel2});

    connect(ui_->newPanelButton, &QAbstractButton::clicked, this, &FilePage::newPanel);
    connect(ui_->loadPanelButton, &QAbstractButton::clicked, this, &FilePage::loadPanel);
    connect(ui_->savePanelButton, &QAbstractButton::clicked, this, &FilePage::savePanel);
    connect(ui_->loadModeButton, &QAbstractButton::clicked, this, &FilePage::loadModeTable);
    connect(ui_->saveModeButton, &QAbstractButton::clicked, this, &FilePage::saveModeTable);
}

FilePage::~FilePage() = default;

void FilePage::newPanel() {
    SetPanelDefaults(state_.editPanel);
    state_.panelDataAvailable = false;
}

void FilePage::loadPanel() {
    if (!PickFileToOpen(state_, this, FileKind::Panel, kEdidFileFilter)) return;
    // A display's EDID is recognised by its header, whatever its name, and
    // becomes panel data like a panel file; the import's message tells which
    // fields kept their defaults, or why nothing was taken.
    const EdidFileImport edid = ImportEdidFile(PathFromUtf8(state_.currentFilePath));
    if (edid.recognised) {
        if (edid.imported) {
            state_.editPanel = edid.record;
            state_.panelDataAvailable = true;
        }
        ShowWarning(edid.message);
        return;
    }
    bool wrongFormat = false;
    if (ReadPanelFile(state_, wrongFormat)) state_.panelDataAvailable = true;
    else ShowWarning(wrongFormat ? kWrongPanelFileText : kCantLoadPanelText);
}

void FilePage::savePanel() {
    if (!state_.panelDataAvailable) {
        ShowWarning(kNoPanelDataText);
        return;
    }
    if (!PickFileToSave(state_, this, FileKind::Panel)) return;
    ApplyResolutionClass(state_.editPanel);
    if (!WritePanelFile(state_)) ShowWarning(kCantWritePanelText);
}

void FilePage::loadModeTable() {
    if (!PickFileToOpen(state_, this, FileKind::Mode)) return;
    bool wrongFormat = false;
    if (ReadModeFile(state_, wrongFormat)) state_.modeTableAvailable = true;
    else ShowWarning(wrongFormat ? kWrongModeFileText : kCantLoadModeText);
}

void FilePage::saveModeTable() {
    if (!state_.modeTableAvailable) {
        ShowWarning(kNoModeTableText);
        return;
    }
    if (!PickFileToSave(state_, this, FileKind::Mode)) return;
    if (!WriteModeFile(state_)) ShowWarning(kCantWriteModeText);
}

SheetPage* CreateFilePage(EditorState& state, QWidget* parent) { return new FilePage(state, parent); }
