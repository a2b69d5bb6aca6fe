#include "status_window.h"

#include "editor_style.h"
#include "ui_StatusWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFont>
#include <QProgressBar>

namespace {}  // namespace

StatusWindow* StatusWindow::current_ = nullptr;

StatusWindow::StatusWindow(QWidget* parent, const QFont& captionFont)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      ui_(std::make_unique<Ui::StatusWindow>()) {
    ui_->setupUi(this);
    setFont(ordinaryFont());
    ui_->statusGroup->setFont(captionFont);
    // The group's caption font must not reach the frame and the bar.
    ui_->progressFrame->setFont(ordinaryFont());
    setModal(false);
    if (parent) move(parent->mapToGlobal(QPoint(0, 0)));
    current_ = this;
    show();
    repaintNow();
}

StatusWindow::~StatusWindow() {
    if (current_ == this) current_ = nullptr;
}

StatusWindow* StatusWindow::current() { return current_; }

QProgressBar* StatusWindow::progressBar() const { return ui_->progressBar; }

void StatusWindow::setPosition(int position) {
    ui_->progressBar->setValue(position);
    repaintNow();
}

void StatusWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

void StatusWindow::repaintNow() {
    // Let the window system map and expose the window, then paint it now: the
    // caller returns to the event loop only after the whole transfer. User
    // input stays queued, so nothing can start a second transfer meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}
