// The "  MODE TABLE" dialog (500): lists the entries of the edit copy of the
// ModeTable, edits, adds, deletes and reorders them, and writes the table to
// the board when the write hotkey is pressed while it is open.
//
// Every change goes straight into the edit copy; the main window commits it
// when the dialog ends with 1 ("&OK") and drops it on 0 ("&Cancel", Esc or
// the close box).
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <array>
#include <memory>

#include <tolvane/mode_editing.h>

struct EditorState;
struct ModeEntry;
struct ModeTable;
class QComboBox;
class ModeMap;
class QLineEdit;
class QListWidget;
class QWidget;

namespace Ui {
class ModeTableDialog;
}

// Tab stops of the mode list, in dialog units.
inline const QList<int> kModeListTabStops = {5, 25, 75};

// The list row of entry `slot`: "\t%d\t%d x %d\t%.01f" with the slot number,
// the active width and height and the vertical frequency.
QString ModeRowText(const ModeEntry& entry, int slot);

// Empties the list and adds one row per entry in use, in slot order, then
// selects `row`; a row outside the entries (e.g. -1) leaves no selection.
// The list's own signals are held back: this is no selection by the user.
void FillModeList(QListWidget* list, const ModeTable& table, int row);

// Adds the four scan type texts in order and selects `index`.
void FillScanTypeList(QComboBox* list, int index);

// The message of a failed check of an entry (empty for None).
QString ModeEntryFaultText(ModeEntryFault fault);

class ModeTableDialog : public QDialog {
    Q_OBJECT
public:
    ModeTableDialog(EditorState& state, QWidget* parent = nullptr);
    ~ModeTableDialog() override;

    Ui::ModeTableDialog* ui() const { return ui_.get(); }
    ModeMap* modeMap() const { return modeMap_; }

    // The selected row of the list, -1 when none is selected.
    int selectedRow() const;

    // Loads the frame title and every field from entry `slot`; nothing when
    // the table is empty.
    void ShowModeEntry(int slot);

    // Reads and checks the fields. On the first failing check: its message,
    // the focus on the field it names, result 0 and the table unchanged.
    // Otherwise stores them into entry `slot` (after opening a gap there when
    // `insert` is set) and returns 1. modeCount is left to the caller.
    int StoreModeEntry(int slot, bool insert);

    // Whether a hotkey write (selection box or transfer) is running now.
    bool writeRunning() const { return writeRunning_; }

public slots:
    void updateEntry();  // "&Update"
    void addMode();      // "&Add Mode"
    void deleteMode();   // "&Del Mode"
    void moveUp();       // "Mode U&p"
    void moveDown();     // "Mode D&wn"
    void showHelp();     // "&Help"
    // The write hotkey: selection box (unless hidden), pack the edit copy,
    // open the link, write the table, close the link.
    void writeModeTable();
    // Releases the write hotkey before the dialog ends, however it ends.
    void done(int result) override;

protected:
    void customEvent(QEvent* event) override;

private:
    struct FieldLimit {
        QLineEdit* field;
        int length;  // characters the user may type
    };
    // The eleven text fields in the order of the entry, with their limits.
    std::array<FieldLimit, 11> fieldLimits() const;
    // Empty fields and frame title: no entry is shown.
    void clearFields();
    void selectionChanged();
    void setFrameTitle(int slot);
    TypedModeEntry readFields() const;
    QWidget* focusOfFault(ModeEntryFault fault) const;

    EditorState& state_;
    std::unique_ptr<Ui::ModeTableDialog> ui_;
    unsigned shownScanType_ = 0;  // scan type of the entry last shown
    bool writeRunning_ = false;
    ModeMap* modeMap_ = nullptr;
};

// Runs the dialog modally: 1 for "&OK", 0 for "&Cancel" or the close box.
int ShowModeTableDialog(EditorState& state, QWidget* owner);
