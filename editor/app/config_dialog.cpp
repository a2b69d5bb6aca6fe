#include "config_dialog.h"

#include "editor_config.h"
#include "editor_strings.h"
#include "editor_style.h"
#include "messages.h"
#include "ui_ConfigDialog.h"

ConfigDialog::ConfigDialog(EditorConfig& config, QWidget* parent)
    : QDialog(parent), config_(config), ui_(std::make_unique<Ui::ConfigDialog>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    SetCaptionFont({ui_->serialGroup, ui_->hotkeyGroup, ui_->okButton, ui_->cancelButton});

    // Any value other than 1, 3 or 4 shows COM2, as the file's value is not checked.
    switch (config_.serialPort) {
        case 1:
            ui_->comRadio1->setChecked(true);
            break;
        case 3:
            ui_->comRadio3->setChecked(true);
            break;
        case 4:
            ui_->comRadio4->setChecked(true);
            break;
        default:
            ui_->comRadio2->setChecked(true);
            break;
    }
    ui_->hotkeyList->addItems(EditorTextList(kHotkeyTextBase, kHotkeyCount));
    // An index with no entry leaves the list without a selection.
    ui_->hotkeyList->setCurrentIndex(int(config_.writeHotkey) - 1 < kHotkeyCount ? int(config_.writeHotkey) - 1 : -1);

    connect(ui_->okButton, &QPushButton::clicked, this, &ConfigDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &ConfigDialog::reject);
}

ConfigDialog::~ConfigDialog() = default;

void ConfigDialog::accept() {
    // The last checked button wins; none checked stores 0.
    uint16_t port = 0;
    const QRadioButton* radios[] = {ui_->comRadio1, ui_->comRadio2, ui_->comRadio3, ui_->comRadio4};
    for (int i = 0; i < 4; ++i)
        if (radios[i]->isChecked()) port = static_cast<uint16_t>(i + 1);
    config_.serialPort = port;
    config_.writeHotkey = static_cast<uint16_t>(ui_->hotkeyList->currentIndex() + 1);

    if (SaveEditorConfig(config_)) {
        done(1);
    } else {
        ShowWarning(kConfigWriteFailedText);
        done(0);
    }
}

int ShowConfigDialog(EditorConfig& config, QWidget* owner) {
    ConfigDialog dialog(config, owner);
    return dialog.exec();
}
