// The main window (100): four picture buttons open the panel data sheet, the
// mode table dialog, the transfer sheet and the configuration dialog; "E&xit"
// (also Esc and the close box) ends the program. Alt+I shows or hides the
// "Author" picture.
#pragma once

#include <QDialog>
#include <memory>

class QLabel;
struct EditorState;

namespace Ui {
class MainWindow;
}

class MainWindow : public QDialog {
    Q_OBJECT
public:
    explicit MainWindow(EditorState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    Ui::MainWindow* ui() const { return ui_.get(); }
    bool authorPictureShown() const;
    QRect authorPictureRect() const;

public slots:
    // The four buttons: hand the committed data to the window they open and
    // take it back when it ends with OK.
    void editPanelData();
    void editModeTable();
    void transferData();
    void configure();
    void toggleAuthorPicture();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void takeBackFocus();

    EditorState& state_;
    std::unique_ptr<Ui::MainWindow> ui_;
    QLabel* author_ = nullptr;
};
