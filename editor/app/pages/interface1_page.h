// The Interface I page of the panel data sheet: display name, manufacturer,
// interface arrangement with its correction, and the sync and clock polarity.
// The page also owns the write hotkey while the sheet is open: it registers
// the key when it is made, answers each press by storing every open page and
// writing the panel to the board, and releases the key on OK and Cancel.
#pragma once

#include "sheet_page.h"

#include <memory>

struct EditorState;

namespace Ui {
class Interface1Page;
}

class Interface1Page : public SheetPage {
    Q_OBJECT
public:
    Interface1Page(EditorState& state, QWidget* parent = nullptr);
    ~Interface1Page() override;

    Ui::Interface1Page* ui() const { return ui_.get(); }

    // Refuses to leave while the display name is empty.
    bool pageLeave() override;
    // Stores every field, then releases the write hotkey.
    void pageApply() override;
    // Stores nothing; releases the write hotkey.
    void pageCancel() override;
    // Stores the flags and, when the display name is not empty, the name,
    // manufacturer and correction. The hotkey stays registered.
    bool storePageRequest() override;

protected:
    void customEvent(QEvent* event) override;

private:
    // The four interface arrangements, or none for a colour depth other than 6 or 8.
    enum class Width { None, Single18, Single24, Dual18, Dual24 };

    void load();
    Width checkedWidth() const;
    void updateCorrectionEnabled();
    // Polarity bits, dual pixel and colour depth from the check boxes and the
    // width radios; the correction bits are cleared until storeIdentification.
    void storeFlags();
    // Display name (NUL-padded to 16 bytes), manufacturer and correction.
    void storeIdentification();
    QString displayName() const;
    void showHelp();

    EditorState& state_;
    std::unique_ptr<Ui::Interface1Page> ui_;
    // The correction the page was opened with; kept when the list shows none.
    unsigned loadedCorrection_ = 0;
};
