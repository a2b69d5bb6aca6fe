// Drop-down lists of the panel pages that show a stored index: filled in order
// from the string table, the stored index selected when the list has an entry
// for it and nothing selected otherwise (a record from a foreign file).
#pragma once

class QComboBox;

// Replaces the entries of `list` with the texts firstText..firstText+count-1
// (drawing held back while they go in) and selects `storedIndex`, or nothing
// when it lies outside 0..count-1.
void FillChoiceList(QComboBox* list, int firstText, int count, int storedIndex);

// The index to store for `list`: its selection, or `storedIndex` unchanged
// when nothing is selected, so that opening and storing a page never alters a
// value that the list cannot show.
unsigned ChosenIndex(const QComboBox* list, unsigned storedIndex);
