// Shared drawing tools of every window: the two fonts, the two brushes and the
// ordinary text font. They are made by CreateDrawingTools at start-up and
// released by DeleteDrawingTools at exit; the accessors also work before that
// (tests create windows without running the start-up).
#pragma once

#include <QBrush>
#include <QFont>

class QWidget;

// "Helv", 11 pixels, bold, sans-serif: group-box captions and some buttons.
const QFont& captionFont();
// "Arial", 12 pixels, normal weight, sans-serif: column headings of lists.
const QFont& headingFont();
// Solid red: background of a field whose value is inconsistent.
const QBrush& warningBrush();
// Solid yellow: background of the help boxes.
const QBrush& helpBrush();
// The ordinary text of every dialog and page: "Helv" 8 pt, sans-serif.
QFont ordinaryFont();

void CreateDrawingTools();
void DeleteDrawingTools();

// Sets captionFont on each of the given widgets (group boxes, buttons); the
// controls inside a group box keep the font they had.
void SetCaptionFont(std::initializer_list<QWidget*> widgets);
