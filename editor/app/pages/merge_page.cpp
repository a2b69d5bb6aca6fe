#include "merge_page.h"

#include "bitmap_button.h"
#include "editor_strings.h"
#include "editor_style.h"
#include "file_dialogs.h"
#include "messages.h"
#include "pages.h"
#include "pictures.h"
#include "selection_box.h"
#include "transfers.h"
#include "ui_MergePage.h"

#include <tolvane/editor_state.h>
#include <tolvane/file_io.h>
#include <tolvane/files.h>
#include <tolvane/panel.h>

#include <QDir>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// Focus rectangle of this page's picture buttons: inset left, top, right,
// bottom, and its shift while pressed.
const QMargins kFocusInset(2, 3, 3, 4);
const QPoint kPressedOffset(1, 1);

// Longest path shown whole.
constexpr qsizetype kShownPathLength = 28;

void SetUpPictureButton(BitmapButton* button, const char* faces) {
    button->setFacesByName(QLatin1String(faces));
    button->setFocusGeometry(kFocusInset, kPressedOffset);
}

// The chosen paths are kept as UTF-8 (as the file dialogs store them).
std::filesystem::path FsPath(const std::string& path) { return PathFromUtf8(path); }

// Reads a chosen panel file into record, only when the loader accepts it (a
// mode file of the same magic is refused there by its length).
bool ReadMergePanel(const std::string& path, PanelRecord& record) {
    PanelRecord scratch{};
    bool wrongFormat = false;
    if (!ReadPanelFile(FsPath(path), scratch, wrongFormat)) return false;
    record = scratch;
    return true;
}

QString Shown(const std::string& path) { return ShortenPathForDisplay(QString::fromStdString(path)); }

// Sets selectionBoxFromMerge for as long as it lives.
class FromMergeScope {
public:
    explicit FromMergeScope(EditorState& state) : state_(state) { state_.selectionBoxFromMerge = true; }
    ~FromMergeScope() { state_.selectionBoxFromMerge = false; }
    FromMergeScope(const FromMergeScope&) = delete;
    FromMergeScope& operator=(const FromMergeScope&) = delete;

private:
    EditorState& state_;
};

}  // namespace

QString ShortenPathForDisplay(const QString& path) {
    // The file name starts after the last folder separator, as in the open
    // dialog's fileNameOffset.
    const qsizetype nameOffset = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1;
    const qsizetype length = path.size();
    const qsizetype nameLength = length - nameOffset;
    if (length <= kShownPathLength || nameLength > kShownPathLength) return path;
    qsizetype keep = kShownPathLength - nameLength;
    // Never cut a character that takes two UTF-16 units in half.
    if (keep > 0 && path.at(keep - 1).isHighSurrogate()) --keep;
    return path.left(keep) + QStringLiteral("..") + QDir::separator() + path.mid(nameOffset);
}

MergePage::MergePage(EditorState& state, QWidget* parent)
    : SheetPage(parent), state_(state), ui_(std::make_unique<Ui::MergePage>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    // The controls sit at fixed places: the sheet must leave the page its size.
    setMinimumSize(size());
    ui_->diskImage->setPixmap(EditorPicture(QStringLiteral("DiskImage")));
    SetCaptionFont({ui_->panelGroup, ui_->gammaGroup, ui_->commandGroup});
    SetUpPictureButton(ui_->panelButton, "Panel");
    SetUpPictureButton(ui_->gammaButton, "Gamma");
    SetUpPictureButton(ui_->mergeButton, "Merge");
    SetUpPictureButton(ui_->writeButton, "Write");
    DescribePictureButton(ui_->panelButton, {ui_->panelLabel1, ui_->panelLabel2});
    DescribePictureButton(ui_->gammaButton, {ui_->gammaLabel1, ui_->gammaLabel2});
    DescribePictureButton(ui_->mergeButton, {ui_->mergeLabel1, ui_->mergeLabel2});
    DescribePictureButton(ui_->writeButton, {ui_->writeLabel1, ui_->writeLabel2});

    connect(ui_->panelButton, &QAbstractButton::clicked, this, &MergePage::LoadMergePanel);
    connect(ui_->gammaButton, &QAbstractButton::clicked, this, &MergePage::LoadMergeGamma);
    connect(ui_->mergeButton, &QAbstractButton::clicked, this, &MergePage::MergeFiles);
    connect(ui_->writeButton, &QAbstractButton::clicked, this, &MergePage::WriteMerged);
}

MergePage::~MergePage() = default;

void MergePage::LoadMergePanel() {
    if (!PickFileToOpen(state_, this, FileKind::Panel)) return;
    const std::string path = state_.currentFilePath;
    // Only the check is made here; the record of the last merge stays as it is.
    PanelRecord check{};
    if (!ReadMergePanel(path, check)) {
        ShowWarning(kWrongPanelFileText);
        return;  // the previous choice stays
    }
    mergePanelPath_ = path;
    ui_->panelPathLabel->setText(Shown(path));
    ui_->panelPathLabel->setToolTip(QString::fromStdString(path));
}

void MergePage::LoadMergeGamma() {
    if (!PickFileToOpen(state_, this, FileKind::Gamma)) return;
    const std::string path = state_.currentFilePath;
    if (!IsGammaFile(FsPath(path))) {
        ShowWarning(kWrongGammaFileText);
        return;  // the previous choice stays
    }
    mergeGammaPath_ = path;
    ui_->gammaPathLabel->setText(Shown(path));
    ui_->gammaPathLabel->setToolTip(QString::fromStdString(path));
}

void MergePage::MergeFiles() {
    if (mergePanelPath_.empty() || mergeGammaPath_.empty()) {
        ShowWarning(kNoMergeFilesText);
        return;
    }
    if (!PickFileToSave(state_, this, FileKind::Panel)) return;
    const std::string output = state_.currentFilePath;

    // Both inputs are read whole before the output is written, so the output
    // may be either of them. The output replaces its file atomically: a failed
    // merge leaves the old file as it was.
    PanelRecord merged{};
    GammaTable gamma{};
    bool ok = ReadMergePanel(mergePanelPath_, merged) && ReadGammaFile(FsPath(mergeGammaPath_), gamma);
    if (ok) {
        merged.gammaTable = gamma;
        SetPanelFlag(merged, kUseGamma, true);
        ok = WritePanelFile(FsPath(output), merged);
    }
    if (!ok) {
        mergeOutputPath_.clear();  // "&W" refuses until the next successful merge
        ShowWarning(kCantWritePanelText);
        return;
    }
    mergeRecord_ = merged;
    mergeOutputPath_ = output;
}

void MergePage::WriteMerged() {
    if (mergeOutputPath_.empty()) {
        ShowWarning(kNoMergingText);
        return;
    }
    {
        // The box always asks here; its "hide" option does not apply to merges.
        FromMergeScope fromMerge(state_);
        if (!ShowSelectionBox(state_, SelectionBox::Layout::WithPanelChoice, this)) return;
    }
    RunTransfer(state_.config, [this] {
        // The merged record has useGamma set: its gamma table travels too.
        const PanelRecord record = mergeRecord_;
        PanelRecordToImage(record, state_.writeImage, state_.gammaBuffer);
        return WritePanelToBoard(this, state_);
    });
}

SheetPage* CreateMergePage(EditorState& state, QWidget* parent) { return new MergePage(state, parent); }
