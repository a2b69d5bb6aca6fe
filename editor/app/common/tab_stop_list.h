// List boxes whose rows are columns separated by tabs ("\t%d\t%d"): the rows
// are drawn with tab stops given in dialog units, as the dialog templates
// state them (a horizontal dialog unit is a quarter of the average character
// width of the list's font).
#pragma once

#include <QList>

class QFont;
class QListWidget;

// Horizontal dialog units to pixels for `font`.
int DialogUnitsToPixels(const QFont& font, int dialogUnits);

// Draws the rows of `list` with tab stops at the given positions (dialog
// units, from the row's left edge). The row texts stay as they are, tabs
// included, so that tests and accessibility read the described format.
void SetListTabStops(QListWidget* list, const QList<int>& dialogUnits);

// The tab stops of `list` in pixels (empty when none were set).
QList<int> ListTabStopPixels(const QListWidget* list);
