#include "placeholder_pages.h"

#include "pages.h"

#include <QLabel>
#include <QVBoxLayout>

PlaceholderPage::PlaceholderPage(const QString &title, QWidget *parent)
    : SheetPage(parent)
{
    setObjectName(QStringLiteral("PlaceholderPage"));
    auto *layout = new QVBoxLayout(this);
    auto *heading = new QLabel(title.trimmed(), this);
    heading->setObjectName(QStringLiteral("placeholderTitle"));
    layout->addWidget(heading);
    layout->addStretch(1);
}

// Each page's own source file replaces its line here when the page is built
// (both at once would not link, which is meant: the stand-in must go).
SheetPage *CreateInterface1Page(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Interface I "), parent); }
SheetPage *CreateInterface2Page(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Interface II "), parent); }
