// Reading and showing the numbers typed into the editor's text fields: the
// pages and the mode table editor hand the text to the model's readers here.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

class QLineEdit;

// The field's text for the model's readers (digits, signs and points are
// plain ASCII; anything else stops the number).
std::string FieldText(const QLineEdit* field);
// The same, of the first `maxChars` characters only.
std::string FieldText(const QLineEdit* field, int maxChars);

// The field read as an integer and held as an unsigned 16-bit value.
uint16_t FieldU16(const QLineEdit* field);

// Shows `text` whole. A field's length limit only bounds what the user
// types: a longer stored value (from a file or a board) is widened into view
// rather than cut, so that what is shown reads back as what is stored.
void ShowInField(QLineEdit* field, const QString& text);
// The same for a field that shows one stored value after another: the limit
// goes back to `limit` for a value that fits it, so a widened field does not
// stay wide for the next value.
void ShowInField(QLineEdit* field, const QString& text, int limit);
