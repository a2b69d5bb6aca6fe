#include "buddy_spin.h"

#include <tolvane/typed_numbers.h>

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kSpinWidth = 10;

QToolButton* ArrowButton(QWidget* parent, Qt::ArrowType arrow) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    button->setIconSize(QSize(6, 4));
    return button;
}

}  // namespace

BuddySpin::BuddySpin(QLineEdit* buddy, int minimum, int maximum, const QString& what)
    : QWidget(buddy->parentWidget()), buddy_(buddy), minimum_(minimum), maximum_(maximum) {
    setObjectName(buddy->objectName() + QStringLiteral("Spin"));
    setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = ArrowButton(this, Qt::UpArrow);
    down_ = ArrowButton(this, Qt::DownArrow);
    up_->setObjectName(objectName() + QStringLiteral("Up"));
    down_->setObjectName(objectName() + QStringLiteral("Down"));
    if (!what.isEmpty()) {
        up_->setAccessibleName(QStringLiteral("Increase ") + what);
        down_->setAccessibleName(QStringLiteral("Decrease ") + what);
    }
    layout->addWidget(up_);
    layout->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });

    buddy_->installEventFilter(this);
    attach();
    show();
}

void BuddySpin::attach() {
    const QRect field = buddy_->geometry();
    setGeometry(field.right() + 1, field.top() - 1, kSpinWidth, field.height() + 2);
}

void BuddySpin::stepBy(int steps) {
    const QByteArray text = buddy_->text().toLatin1();
    const int64_t typed = ReadTypedInteger(std::string_view(text.constData(), std::size_t(text.size())));
    const int64_t current = std::clamp<int64_t>(typed, minimum_, maximum_);
    const int64_t next = std::clamp<int64_t>(current + steps, minimum_, maximum_);
    const QString shown = QString::number(next);
    if (buddy_->text() != shown) buddy_->setText(shown);
}

bool BuddySpin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_) {
        switch (event->type()) {
            case QEvent::KeyPress: {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if (key == Qt::Key_Up || key == Qt::Key_Down) {
                    stepBy(key == Qt::Key_Up ? 1 : -1);
                    return true;
                }
                break;
            }
            case QEvent::Move:
            case QEvent::Resize:
                attach();
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
