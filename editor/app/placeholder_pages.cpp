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

// Each page's own source file replaces its line here when the page is built.
// The stand-ins are weak where the compiler allows it, so that a page that is
// already defined elsewhere wins over its stand-in while both exist.
#if defined(__GNUC__) || defined(__clang__)
#define PLACEHOLDER_PAGE __attribute__((weak))
#else
#define PLACEHOLDER_PAGE
#endif
PLACEHOLDER_PAGE SheetPage *CreateInterface1Page(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Interface I "), parent); }
PLACEHOLDER_PAGE SheetPage *CreateInterface2Page(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Interface II "), parent); }
PLACEHOLDER_PAGE SheetPage *CreateTiming1Page(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Timing I "), parent); }
PLACEHOLDER_PAGE SheetPage *CreateTiming2Page(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Timing II "), parent); }
PLACEHOLDER_PAGE SheetPage *CreateGammaPowerPage(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Gamma/Power "), parent); }
PLACEHOLDER_PAGE SheetPage *CreateMergePage(EditorState &, QWidget *parent) { return new PlaceholderPage(QStringLiteral(" Merge "), parent); }
