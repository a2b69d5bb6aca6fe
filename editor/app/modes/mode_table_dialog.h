// The "  MODE TABLE" dialog (500), working on the edit copy of the ModeTable.
// For now it holds only its "&OK" and "&Cancel" buttons.
#pragma once

#include <QDialog>
#include <memory>

struct EditorState;

namespace Ui {
class ModeTableDialog;
}

class ModeTableDialog : public QDialog {
    Q_OBJECT
public:
    ModeTableDialog(EditorState &state, QWidget *parent = nullptr);
    ~ModeTableDialog() override;

    Ui::ModeTableDialog *ui() const { return ui_.get(); }

private:
    [[maybe_unused]] EditorState &state_;
    std::unique_ptr<Ui::ModeTableDialog> ui_;
};

// Runs the dialog modally: 1 for "&OK", 0 for "&Cancel" or the close box.
int ShowModeTableDialog(EditorState &state, QWidget *owner);
