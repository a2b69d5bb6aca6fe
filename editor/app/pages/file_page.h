// The File page of the transfer sheet: new panel data, and loading and saving
// panel files and mode files; the panel load also takes a display's EDID
// file (see file_page_edid.h). It works on the edit copies; what it changes
// reaches the committed copies only when the sheet ends with OK.
#pragma once

#include "sheet_page.h"

#include <memory>

struct EditorState;

namespace Ui {
class FilePage;
}

class FilePage : public SheetPage {
    Q_OBJECT
public:
    FilePage(EditorState& state, QWidget* parent = nullptr);
    ~FilePage() override;

    // Nothing to check or store: leaving, OK and Cancel need nothing.

private:
    void newPanel();
    void loadPanel();
    void savePanel();
    void loadModeTable();
    void saveModeTable();

    EditorState& state_;
    std::unique_ptr<Ui::FilePage> ui_;
};
