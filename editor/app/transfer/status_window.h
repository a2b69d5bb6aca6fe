// The status window shown while a transfer runs: a caption, the group
// " Transfer status " and a progress bar 0..100.
//
// The link library blocks the window thread for the whole transfer, so the
// window repaints itself each time its position is set. At most one status
// window exists; the progress callback of the link library reaches it through
// current().
#pragma once

#include <QDialog>
#include <memory>

class QFont;
class QProgressBar;

namespace Ui {
class StatusWindow;
}

class StatusWindow : public QDialog {
    Q_OBJECT
public:
    // Creates the window at the top-left corner of parent and shows it
    // (modeless) with its group caption in captionFont.
    StatusWindow(QWidget* parent, const QFont& captionFont);
    ~StatusWindow() override;

    // The status window of the transfer that runs now, or null.
    static StatusWindow* current();

    QProgressBar* progressBar() const;

    // Sets the bar (0..100) and repaints at once, even while the window
    // thread is blocked in a library call.
    void setPosition(int position);

protected:
    // The window belongs to the transfer: the user cannot close it.
    void closeEvent(QCloseEvent* event) override;
    void reject() override {}

private:
    void repaintNow();

    std::unique_ptr<Ui::StatusWindow> ui_;
    static StatusWindow* current_;
};
