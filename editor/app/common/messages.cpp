#include "messages.h"

#include <QMessageBox>

namespace {

void ShowWarningBox(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}

WarningSink& CurrentSink() {
    static WarningSink sink;
    return sink;
}

int& ShowingDepth() {
    static int depth = 0;
    return depth;
}

}  // namespace

bool WarningShowing() { return ShowingDepth() > 0; }

void ShowWarning(const QString& text, const QString& title) {
    struct Showing {
        Showing() { ++ShowingDepth(); }
        ~Showing() { --ShowingDepth(); }
    } showing;
    if (const WarningSink& sink = CurrentSink()) sink(title, text);
    else ShowWarningBox(title, text);
}

WarningSink SetWarningSink(WarningSink sink) {
    WarningSink old = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return old;
}
