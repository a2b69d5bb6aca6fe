// An empty page with its title as heading, standing in for a page that is not
// built yet. It accepts every event of the page protocol and stores nothing.
#pragma once

#include "sheet_page.h"

class PlaceholderPage : public SheetPage {
    Q_OBJECT
public:
    PlaceholderPage(const QString &title, QWidget *parent);
};
