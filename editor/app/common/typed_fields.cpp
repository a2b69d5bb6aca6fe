#include "typed_fields.h"

#include <tolvane/timing.h>

#include <QLineEdit>

#include <algorithm>

std::string FieldText(const QLineEdit* field) { return field->text().toStdString(); }

std::string FieldText(const QLineEdit* field, int maxChars) { return field->text().left(maxChars).toStdString(); }

uint16_t FieldU16(const QLineEdit* field) { return TypedU16(FieldText(field)); }

void ShowInField(QLineEdit* field, const QString& text) {
    if (text.size() > field->maxLength()) field->setMaxLength(int(text.size()));
    field->setText(text);
}

void ShowInField(QLineEdit* field, const QString& text, int limit) {
    // Narrowed before the text is set: setMaxLength cuts the text it holds.
    field->setMaxLength(std::max(limit, int(text.size())));
    field->setText(text);
}
