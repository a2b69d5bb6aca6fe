// The Gamma/Power page of the panel data sheet: switches the panel's gamma
// table on and off, corrects single entries of it (one table for all
// colours), and edits the four power sequencing delays T1..T4.
//
// Entries changed with "&Update" go into the edit copy at once; the check box
// and the delays are stored on OK and on the write hotkey's store request.
#pragma once

#include "sheet_page.h"

#include <array>
#include <cstdint>
#include <memory>

class GammaCurve;
class QLineEdit;
struct EditorState;
struct PanelRecord;

namespace Ui {
class GammaPowerPage;
}

class GammaPowerPage : public SheetPage {
    Q_OBJECT
public:
    GammaPowerPage(EditorState& state, QWidget* parent = nullptr);
    ~GammaPowerPage() override;

    bool pageLeave() override;
    void pageApply() override;
    bool storePageRequest() override;

    // "&Update": writes the value field into the selected entry of the table.
    void UpdateGammaEntry();

    // The row text of one table entry.
    static QString GammaRowText(int index, int value);

    GammaCurve* gammaCurve() const { return curve_; }

private:
    struct DelayField {
        QLineEdit* edit;
        uint8_t PanelRecord::*byte;
    };
    std::array<DelayField, 4> delayFields() const;
    // The first of T1..T4 whose value the board cannot take, or null.
    QLineEdit* firstWrongDelay() const;

    void fillList();
    void setGammaControlsEnabled(bool enabled);
    int selectedRow() const;
    void showSelectedEntry();
    // " Use Gamma table " checked or unchecked, by mouse, key or accessible action.
    void useGammaToggled(bool checked);
    void storeUseGamma();
    void showHelp();

    EditorState& state_;
    std::unique_ptr<Ui::GammaPowerPage> ui_;
    GammaCurve* curve_ = nullptr;
};
