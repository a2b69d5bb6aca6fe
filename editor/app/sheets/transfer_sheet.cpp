#include "transfer_sheet.h"

#include "pages.h"
#include "ui_TransferSheet.h"

TransferSheet::TransferSheet(EditorState& state, QWidget* parent, const QList<SheetPageEntry>& pages)
    : PropertySheet(state, parent), ui_(std::make_unique<Ui::TransferSheet>()) {
    ui_->setupUi(this);
    setupSheet(ui_->pages, ui_->buttons, pages.isEmpty() ? standardPages() : pages);
}

TransferSheet::~TransferSheet() = default;

QList<SheetPageEntry> TransferSheet::standardPages() {
    return {
        {QStringLiteral(" File "), CreateFilePage},
        {QStringLiteral(" Platform "), CreatePlatformPage},
        {QStringLiteral(" Merge "), CreateMergePage},
    };
}

int ShowTransferSheet(EditorState& state, QWidget* owner) {
    TransferSheet sheet(state, owner);
    return sheet.exec() == QDialog::Accepted ? 1 : 0;
}
