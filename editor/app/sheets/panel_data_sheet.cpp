#include "panel_data_sheet.h"

#include "pages.h"
#include "panel_pages.h"
#include "ui_PanelDataSheet.h"

PanelDataSheet::PanelDataSheet(EditorState& state, QWidget* parent, const QList<SheetPageEntry>& pages)
    : PropertySheet(state, parent), ui_(std::make_unique<Ui::PanelDataSheet>()) {
    ui_->setupUi(this);
    ClearPanelPages();
    setupSheet(ui_->pages, ui_->buttons, pages.isEmpty() ? standardPages() : pages);
}

PanelDataSheet::~PanelDataSheet() = default;

QList<SheetPageEntry> PanelDataSheet::standardPages() {
    return {
        {QStringLiteral(" Interface I "), CreateInterface1Page},
        {QStringLiteral(" Interface II "), CreateInterface2Page},
        {QStringLiteral(" Timing I "), CreateTiming1Page},
        {QStringLiteral(" Timing II "), CreateTiming2Page},
        {QStringLiteral(" Gamma/Power "), CreateGammaPowerPage},
    };
}

void PanelDataSheet::pageCreated(int index, SheetPage* page) { EnterPanelPage(index, page); }

int ShowPanelDataSheet(EditorState& state, QWidget* owner) {
    PanelDataSheet sheet(state, owner);
    return sheet.exec() == QDialog::Accepted ? 1 : 0;
}
