#include "editor_style.h"

#include <QWidget>
#include <memory>

namespace {

// "Helv" does not exist on most systems; the sans-serif hint and the list of
// alternatives pick the nearest plain sans-serif face instead.
QFont SansSerif(const QString& face) {
    QFont font;
    font.setFamilies({face, QStringLiteral("Helvetica"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    return font;
}

struct DrawingTools {
    QFont caption;
    QFont heading;
    QBrush warning{QColor(255, 0, 0)};
    QBrush help{QColor(255, 255, 0)};

    DrawingTools() {
        caption = SansSerif(QStringLiteral("Helv"));
        caption.setPixelSize(11);
        caption.setWeight(QFont::Bold);
        heading = SansSerif(QStringLiteral("Arial"));
        heading.setPixelSize(12);
        heading.setWeight(QFont::Normal);
    }
};

std::unique_ptr<DrawingTools>& Tools() {
    static std::unique_ptr<DrawingTools> tools;
    return tools;
}

const DrawingTools& CurrentTools() {
    if (!Tools()) Tools() = std::make_unique<DrawingTools>();
    return *Tools();
}

}  // namespace

const QFont& captionFont() { return CurrentTools().caption; }

const QFont& headingFont() { return CurrentTools().heading; }

const QBrush& warningBrush() { return CurrentTools().warning; }

const QBrush& helpBrush() { return CurrentTools().help; }

QFont ordinaryFont() {
    QFont font = SansSerif(QStringLiteral("Helv"));
    font.setPointSize(8);
    // Weight and style are set, not inherited: inside a group whose caption
    // is bold, controls given this font stay plain.
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

void CreateDrawingTools() { Tools() = std::make_unique<DrawingTools>(); }

void DeleteDrawingTools() { Tools().reset(); }

void SetCaptionFont(std::initializer_list<QWidget*> widgets) {
    for (QWidget* w : widgets) {
        if (!w) continue;
        QFont inner = w->font();
        inner.setResolveMask(QFont::AllPropertiesResolved);  // inherit nothing from the caption
        w->setFont(captionFont());
        // Only the caption is bold: the controls inside a group keep their font.
        for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!child->testAttribute(Qt::WA_SetFont)) child->setFont(inner);
    }
}
