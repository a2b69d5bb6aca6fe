// The "  PANEL DATA" sheet: Interface I, Interface II, Timing I, Timing II and
// Gamma/Power, working on the edit copy of the PanelRecord.
#pragma once

#include "property_sheet.h"

#include <memory>

namespace Ui {
class PanelDataSheet;
}

class PanelDataSheet : public PropertySheet {
    Q_OBJECT
public:
    // `pages` replaces the five pages (tests); empty means the real ones.
    PanelDataSheet(EditorState& state, QWidget* parent, const QList<SheetPageEntry>& pages = {});
    ~PanelDataSheet() override;

    static QList<SheetPageEntry> standardPages();

protected:
    void pageCreated(int index, SheetPage* page) override;

private:
    std::unique_ptr<Ui::PanelDataSheet> ui_;
};

// Runs the sheet modally; positive when it ended with OK.
int ShowPanelDataSheet(EditorState& state, QWidget* owner);
