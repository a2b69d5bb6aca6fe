// The selection box shown before a hotkey or merge write: confirms the device
// address, the panel slot (full layout only) and the write options.
#pragma once

#include <QDialog>
#include <memory>

struct EditorState;

namespace Ui {
class SelectionBox;
}

class SelectionBox : public QDialog {
    Q_OBJECT
public:
    enum class Layout {
        WithPanelChoice,     // box 750: panel writes (hotkey of the panel data sheet, Merge page)
        WithoutPanelChoice,  // box 751: mode-table writes (hotkey of the mode table editor)
    };

    SelectionBox(EditorState& state, Layout layout, QWidget* parent = nullptr);
    ~SelectionBox() override;

public slots:
    // Stores the settings and closes with 1, unless the device address is
    // refused: then the message is shown and the box stays open.
    void accept() override;

private:
    EditorState& state_;
    Layout layout_;
    std::unique_ptr<Ui::SelectionBox> ui_;
};

// Shows the box modally. Returns 1 after OK (settings stored), 0 after Cancel
// (nothing stored).
int ShowSelectionBox(EditorState& state, SelectionBox::Layout layout, QWidget* parent);
