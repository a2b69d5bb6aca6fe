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
SheetPage *CreateTiming1Page(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Timing I "), parent); }
SheetPage *CreateTiming2Page(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Timing II "), parent); }
SheetPage *CreateGammaPowerPage(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Gamma/Power "), parent); }
SheetPage *CreateMergePage(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Merge "), parent); }
