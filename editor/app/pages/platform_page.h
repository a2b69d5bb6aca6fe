// The Platform page of the transfer sheet: reads panel data or the mode table
// from the board and writes them back, with the device address, panel slot and
// reset option that every transfer uses.
#pragma once

#include "sheet_page.h"

#include <functional>
#include <memory>

class QRadioButton;
struct EditorState;

namespace Ui {
class PlatformPage;
}

class PlatformPage : public SheetPage {
    Q_OBJECT
public:
    PlatformPage(EditorState& state, QWidget* parent = nullptr);
    ~PlatformPage() override;

    // The page keeps no data of its own: leaving, OK and Cancel need nothing.

private:
    // Reads the device address entry and runs body inside the open-run-close
    // transfer sequence with it.
    void transferAt(const std::function<int(int address)>& body);
    void readPanel();
    void writePanel();
    void readModeTable();
    void writeModeTable();
    void showHelp();

    // 1..4 for the checked panel radio button, 0 when none is checked.
    int checkedPanel() const;

    EditorState& state_;
    std::unique_ptr<Ui::PlatformPage> ui_;
};

// Checks the radio button of panelNumber (1..4) among buttons; any other
// number leaves all of them unchecked.
void CheckPanelRadio(QRadioButton* const (&buttons)[4], int panelNumber);
// 1..4 for the checked one of buttons, 0 when none is checked.
int CheckedPanelRadio(QRadioButton* const (&buttons)[4]);
