// The behaviour shared by the two tabbed sheets: pages made the first time
// they are shown, a leave check that may keep the sheet on its page, apply on
// OK for every page that was made, cancel otherwise.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>

class QDialogButtonBox;
class QTabWidget;
class QVBoxLayout;
class SheetPage;
struct EditorState;

using SheetPageFactory = std::function<SheetPage*(EditorState&, QWidget*)>;

struct SheetPageEntry {
    QString title;
    SheetPageFactory create;
};

class PropertySheet : public QDialog {
    Q_OBJECT
public:
    PropertySheet(EditorState& state, QWidget* parent);
    ~PropertySheet() override;

    int pageCount() const;
    QString pageTitle(int index) const;
    // The page at `index`, or null if it has not been shown yet.
    SheetPage* page(int index) const;
    int currentPage() const;
    // Turns to `index` as a click on its tab would: the current page may refuse.
    bool turnToPage(int index);
    QTabWidget* tabs() const { return tabs_; }

public slots:
    void accept() override;  // OK
    void reject() override;  // Cancel, Esc, close box

protected:
    // Called by the concrete sheet after setupUi.
    void setupSheet(QTabWidget* tabs, QDialogButtonBox* buttons, const QList<SheetPageEntry>& pages);
    // A page has just been made.
    virtual void pageCreated(int index, SheetPage* page);

    EditorState& state_;

private:
    void onTabChanged(int index);
    SheetPage* ensurePage(int index);

    struct Slot {
        SheetPageEntry entry;
        QWidget* container = nullptr;
        QVBoxLayout* layout = nullptr;
        SheetPage* page = nullptr;
    };
    QList<Slot> slots_;
    QTabWidget* tabs_ = nullptr;
    int current_ = -1;
    bool turning_ = false;
};
