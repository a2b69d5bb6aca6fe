// The Interface II page of the panel data sheet: output drive of the data,
// control and clock lines, display clock adjustment and KESA identification.
#pragma once

#include "sheet_page.h"

#include <memory>

struct EditorState;

namespace Ui {
class Interface2Page;
}

class Interface2Page : public SheetPage {
    Q_OBJECT
public:
    Interface2Page(EditorState& state, QWidget* parent = nullptr);
    ~Interface2Page() override;

    Ui::Interface2Page* ui() const { return ui_.get(); }

    // Nothing to check: OK and the store request store the same way.
    void pageApply() override;
    bool storePageRequest() override;

private:
    void load();
    void store();
    void showHelp();

    EditorState& state_;
    std::unique_ptr<Ui::Interface2Page> ui_;
};
