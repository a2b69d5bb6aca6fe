// The "  TRANSFER" sheet: File, Platform and Merge, working on the edit
// copies of the PanelRecord and the ModeTable.
#pragma once

#include "property_sheet.h"

#include <memory>

namespace Ui {
class TransferSheet;
}

class TransferSheet : public PropertySheet {
    Q_OBJECT
public:
    // `pages` replaces the three pages (tests); empty means the real ones.
    TransferSheet(EditorState& state, QWidget* parent, const QList<SheetPageEntry>& pages = {});
    ~TransferSheet() override;

    static QList<SheetPageEntry> standardPages();

private:
    std::unique_ptr<Ui::TransferSheet> ui_;
};

// Runs the sheet modally; positive when it ended with OK.
int ShowTransferSheet(EditorState& state, QWidget* owner);
