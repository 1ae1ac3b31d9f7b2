// The Help window: the fixed user guide, and the way to the About and Licence Agreement windows.
// The main window's Help button shows it with frmHelp::showModal(this).
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class frmHelp : public QDialog {
    Q_OBJECT

public:
    explicit frmHelp(QWidget* owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing starts again at the top of the text.
    static void showModal(QWidget* owner);

    QPlainTextEdit* const tbxHelp;
    QPushButton* const btnClose;
    QPushButton* const btnAbout;
    QPushButton* const Command1;

protected:
    // There is no cancel button: Escape leaves the window open.
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void btnClose_Click();
    void btnAbout_Click();
    void Command1_Click();
};
