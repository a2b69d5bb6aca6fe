// The Merge page of the transfer sheet: combines a panel file with a separately
// kept gamma table file (256 bytes) into a new panel file that uses the table,
// and writes the merged panel to the board. It works only on files and on a
// record of its own; the edit and committed copies are never touched.
#pragma once

#include "sheet_page.h"

#include <tolvane/records.h>

#include <QString>
#include <memory>
#include <string>

struct EditorState;

namespace Ui {
class MergePage;
}

// The text shown for a chosen file: a path of up to 28 characters, or one
// whose file name alone is longer than 28, is shown whole; otherwise the
// start of the folder part, the separator after "..", and the whole file name,
// 31 characters in all. Only the shown text is shortened.
QString ShortenPathForDisplay(const QString& path);

class MergePage : public SheetPage {
    Q_OBJECT
public:
    MergePage(EditorState& state, QWidget* parent = nullptr);
    ~MergePage() override;

    // Nothing is stored on leave, OK or Cancel: the page keeps only its own
    // state, which ends with the sheet.

    // Full paths of the chosen panel and gamma files and of the last merged
    // file; empty when none.
    const std::string& mergePanelPath() const { return mergePanelPath_; }
    const std::string& mergeGammaPath() const { return mergeGammaPath_; }
    const std::string& mergeOutputPath() const { return mergeOutputPath_; }
    // The record of the last successful merge; what "&W" sends.
    const PanelRecord& mergeRecord() const { return mergeRecord_; }

    void LoadMergePanel();
    void LoadMergeGamma();
    void MergeFiles();
    void WriteMerged();

private:
    EditorState& state_;
    std::unique_ptr<Ui::MergePage> ui_;
    std::string mergePanelPath_;
    std::string mergeGammaPath_;
    std::string mergeOutputPath_;
    PanelRecord mergeRecord_{};
};
