// Every failure the editor reports goes through ShowWarning: a warning box
// without an owner, on top of all windows and brought to the foreground.
// Tests replace the sink to read the title and text without a modal loop.
#pragma once

#include <QString>
#include <functional>

inline const QString kDefaultWarningTitle = QStringLiteral(" PANEL EDITOR");

using WarningSink = std::function<void(const QString& title, const QString& text)>;

void ShowWarning(const QString& text, const QString& title = kDefaultWarningTitle);

// Whether a warning is being shown now (the box is open, or a sink runs).
bool WarningShowing();

// Replaces the sink; an empty function restores the message box. Returns the old one.
WarningSink SetWarningSink(WarningSink sink);
