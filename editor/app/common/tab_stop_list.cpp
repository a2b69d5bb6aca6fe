#include "tab_stop_list.h"

#include <QApplication>
#include <QFontMetrics>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextOption>

namespace {

class TabStopDelegate : public QStyledItemDelegate {
public:
    TabStopDelegate(QList<int> dialogUnits, QObject* parent)
        : QStyledItemDelegate(parent), dialogUnits_(std::move(dialogUnits)) {}

    QList<int> stopsInPixels(const QFont& font) const {
        QList<int> pixels;
        for (int units : dialogUnits_) pixels.append(DialogUnitsToPixels(font, units));
        return pixels;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        // The style draws the background, selection and focus; the text is ours.
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
        textOption.setWrapMode(QTextOption::NoWrap);
        QList<QTextOption::Tab> tabs;
        for (int pixel : stopsInPixels(opt.font))
            tabs.append(QTextOption::Tab(pixel - (textRect.left() - opt.rect.left()), QTextOption::LeftTab));
        textOption.setTabs(tabs);

        painter->save();
        const bool selected = opt.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(opt.font);
        painter->drawText(QRectF(textRect), text, textOption);
        painter->restore();
    }

private:
    QList<int> dialogUnits_;
};

}  // namespace

int DialogUnitsToPixels(const QFont& font, int dialogUnits) {
    // The average character width as the dialog templates measure it: the
    // width of the 52 letters, averaged and rounded.
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int average = (letters / 26 + 1) / 2;
    return dialogUnits * average / 4;
}

void SetListTabStops(QListWidget* list, const QList<int>& dialogUnits) {
    list->setItemDelegate(new TabStopDelegate(dialogUnits, list));
}

QList<int> ListTabStopPixels(const QListWidget* list) {
    if (const auto* delegate = dynamic_cast<const TabStopDelegate*>(list->itemDelegate()))
        return delegate->stopsInPixels(list->font());
    return {};
}
