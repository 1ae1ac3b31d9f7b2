// The Licence Agreement window: the terms-of-use disclaimer in a read-only text box. Reached from
// the Help window; it only shows the text and asks for no answer.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class frmLicAgmt : public QDialog {
    Q_OBJECT

public:
    explicit frmLicAgmt(QWidget* owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing starts from its design again.
    static void showModal(QWidget* owner);

    QPlainTextEdit* const tbxHelp;
    QPushButton* const btnClose;

protected:
    // There is no cancel button: Escape leaves the window open.
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void btnClose_Click();
};
