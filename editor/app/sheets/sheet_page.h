// A page of a tabbed sheet (the panel data sheet or the transfer sheet).
//
// The sheet creates a page the first time it is shown and then drives it:
//   pageActivated()    the page became visible; it may refresh its fields
//   pageLeave()        the sheet wants to leave the page (another tab, or OK);
//                      a page with a wrong field shows the field's message, puts
//                      the focus on it and returns false to keep the sheet here
//   pageApply()        OK: store the fields into the edit copy (every created page)
//   pageCancel()       Cancel: nothing is stored
//   storePageRequest() the write hotkey asks a panel page to check and store now;
//                      the result goes into the shared storeOk flag
#pragma once

#include <QWidget>

class SheetPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    ~SheetPage() override = default;

    virtual void pageActivated() {}
    virtual bool pageLeave() { return true; }
    virtual void pageApply() {}
    virtual void pageCancel() {}
    virtual bool storePageRequest() { return true; }
};
