#include "property_sheet.h"

#include "editor_style.h"
#include "sheet_page.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

PropertySheet::PropertySheet(EditorState& state, QWidget* parent) : QDialog(parent), state_(state) {}

PropertySheet::~PropertySheet() = default;

void PropertySheet::setupSheet(QTabWidget* tabs, QDialogButtonBox* buttons, const QList<SheetPageEntry>& pages) {
    setFont(ordinaryFont());
    tabs_ = tabs;
    {
        const QSignalBlocker blocker(tabs_);
        while (tabs_->count() > 0) {
            QWidget* w = tabs_->widget(0);
            tabs_->removeTab(0);
            delete w;
        }
        for (const SheetPageEntry& entry : pages) {
            Slot slot;
            slot.entry = entry;
            slot.container = new QWidget;
            slot.layout = new QVBoxLayout(slot.container);
            slot.layout->setContentsMargins(0, 0, 0, 0);
            tabs_->addTab(slot.container, entry.title);
            slots_.append(slot);
        }
    }
    // Every tab stays in view: the sheet grows to fit its row of tabs.
    tabs_->setUsesScrollButtons(false);
    tabs_->setElideMode(Qt::ElideNone);
    buttons->setStandardButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    // Plain text buttons, as on the sheet of every platform.
    for (QAbstractButton* button : buttons->buttons()) button->setIcon(QIcon());
    connect(buttons, &QDialogButtonBox::accepted, this, &PropertySheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PropertySheet::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, &PropertySheet::onTabChanged);

    // The sheet opens on its first page.
    if (!slots_.isEmpty()) {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(0);
        current_ = 0;
        if (SheetPage* first = ensurePage(0)) first->pageActivated();
    }
}

void PropertySheet::pageCreated(int, SheetPage*) {}

int PropertySheet::pageCount() const { return int(slots_.size()); }

QString PropertySheet::pageTitle(int index) const {
    return index >= 0 && index < slots_.size() ? slots_[index].entry.title : QString();
}

SheetPage* PropertySheet::page(int index) const {
    return index >= 0 && index < slots_.size() ? slots_[index].page : nullptr;
}

int PropertySheet::currentPage() const { return current_; }

SheetPage* PropertySheet::ensurePage(int index) {
    Slot& slot = slots_[index];
    if (!slot.page && slot.entry.create) {
        slot.page = slot.entry.create(state_, slot.container);
        if (slot.page) {
            slot.layout->addWidget(slot.page);
            slot.page->show();
            pageCreated(index, slot.page);
        }
    }
    return slot.page;
}

bool PropertySheet::turnToPage(int index) {
    if (index < 0 || index >= slots_.size()) return false;
    tabs_->setCurrentIndex(index);
    return current_ == index;
}

void PropertySheet::onTabChanged(int index) {
    if (turning_ || index == current_ || index < 0) return;
    turning_ = true;
    // Go back to the page being left so that it is in front while it checks
    // its fields and shows a message; move on only when it agrees.
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(current_);
    }
    SheetPage* leaving = page(current_);
    if (!leaving || leaving->pageLeave()) {
        {
            const QSignalBlocker blocker(tabs_);
            tabs_->setCurrentIndex(index);
        }
        current_ = index;
        if (SheetPage* entered = ensurePage(index)) entered->pageActivated();
    }
    turning_ = false;
}

void PropertySheet::accept() {
    SheetPage* leaving = page(current_);
    if (leaving && !leaving->pageLeave()) return;
    for (const Slot& slot : slots_)
        if (slot.page) slot.page->pageApply();
    QDialog::accept();
}

void PropertySheet::reject() {
    for (const Slot& slot : slots_)
        if (slot.page) slot.page->pageCancel();
    QDialog::reject();
}
