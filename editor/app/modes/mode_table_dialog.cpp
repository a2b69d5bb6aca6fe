#include "mode_table_dialog.h"

#include "editor_style.h"
#include "ui_ModeTableDialog.h"

ModeTableDialog::ModeTableDialog(EditorState &state, QWidget *parent)
    : QDialog(parent)
    , state_(state)
    , ui_(std::make_unique<Ui::ModeTableDialog>())
{
    ui_->setupUi(this);
    setFont(ordinaryFont());
    SetCaptionFont({ui_->okButton, ui_->cancelButton});
    connect(ui_->okButton, &QPushButton::clicked, this, [this] { done(1); });
    connect(ui_->cancelButton, &QPushButton::clicked, this, [this] { done(0); });
}

ModeTableDialog::~ModeTableDialog() = default;

int ShowModeTableDialog(EditorState &state, QWidget *owner)
{
    ModeTableDialog dialog(state, owner);
    return dialog.exec();
}
