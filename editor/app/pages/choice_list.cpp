#include "choice_list.h"

#include "editor_strings.h"

#include <QComboBox>

void FillChoiceList(QComboBox* list, int firstText, int count, int storedIndex) {
    list->setUpdatesEnabled(false);
    list->clear();
    list->addItems(EditorTextList(firstText, count));
    list->setUpdatesEnabled(true);
    list->setCurrentIndex(storedIndex >= 0 && storedIndex < count ? storedIndex : -1);
}

unsigned ChosenIndex(const QComboBox* list, unsigned storedIndex) {
    const int index = list->currentIndex();
    return index < 0 ? storedIndex : static_cast<unsigned>(index);
}
