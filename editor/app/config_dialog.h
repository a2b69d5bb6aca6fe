// The configuration dialog (900): serial port and write hotkey.
#pragma once

#include <QDialog>
#include <memory>

struct EditorConfig;

namespace Ui {
class ConfigDialog;
}

class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    ConfigDialog(EditorConfig& config, QWidget* parent = nullptr);
    ~ConfigDialog() override;

    Ui::ConfigDialog* ui() const { return ui_.get(); }

public slots:
    // "&OK": take the choices, save them; ends with 1 after a good save, else 0.
    void accept() override;

private:
    EditorConfig& config_;
    std::unique_ptr<Ui::ConfigDialog> ui_;
};

// Shows the dialog modally; returns its result (1 after a successful save).
int ShowConfigDialog(EditorConfig& config, QWidget* owner);
