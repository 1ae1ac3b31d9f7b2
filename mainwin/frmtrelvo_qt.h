// The program's working window, Qt edition: the input and output file names, the layer and the
// line-width pair with their enable boxes, and Run, Close, Help and Browse. Its controls are made
// from the shared design, and its handlers forward to the shared window logic, which holds the
// run state and hands a run to the engine.
#pragma once

#include <QDialog>

#include <map>
#include <optional>
#include <string_view>

#include "mainwin/busycursor_qt.h"
#include "mainwin/filedialog_qt.h"
#include "mainwin/mainlogic.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmTrelvo : public QDialog, private trelvo::MainFormControls {
    Q_OBJECT

public:
    explicit frmTrelvo(QWidget* parent = nullptr);
    ~frmTrelvo() override;

    // The run state, for whoever needs to look at it (the tests).
    const trelvo::MainFormState& state() const { return logic_; }
    const trelvo::OpenFileRequest& openDialogRequest() const { return OpenDlgRec; }

    // The steps of a run, each delegating to the shared logic with this window's state and files.
    bool Valid_Entries() { return logic_.Valid_Entries(); }
    void Open_Dfile() { logic_.Open_Dfile(); }
    void Close_IO() { logic_.Close_IO(); }
    void Read_DFile(std::string_view old_lyr, std::string_view new_lyr, std::string_view old_wd,
                    std::string_view new_wd) {
        logic_.Read_DFile(old_lyr, new_lyr, old_wd, new_wd);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void chkEnLyr_Click();
    void chkEnWd_Click();
    void tbxFileOpen_Change();
    void tbxFileOut_Change();
    void btnRun_Click();
    void btnFileOpen_Click();
    void btnHelp_Click();
    void btnClose_Click();

private:
    // The controls the shared logic works on.
    std::string text(const trelvo::design::Control& box) const override;
    void setText(const trelvo::design::Control& box, const std::string& text) override;
    trelvo::CheckValue value(const trelvo::design::Control& check) const override;
    void setEntryEnabled(const trelvo::design::Control& box, bool enabled) override;
    void fillOpenDialogRequest() override;
    std::optional<std::string> showOpenDialog() override;
    void showBox(const trelvo::Report& report) override;
    void setBusy(bool busy) override;

    void createControls();
    void fitFont();
    void setTabOrderAndFocus();
    void connectHandlers();
    QWidget* widget(const trelvo::design::Control& c) const;

    trelvo::OpenFileRequest OpenDlgRec;
    trelvo::MainFormLogic logic_{*this};
    std::optional<trelvo::BusyCursor> busy_;  // held while a run works
    std::map<const trelvo::design::Control*, QWidget*> widgets_;

    QLabel* Label5 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* tbxOldLyr = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* tbxNewLyr = nullptr;
    QLabel* Label8 = nullptr;
    QCheckBox* chkEnLyr = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* tbxOldWd = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* tbxNewWd = nullptr;
    QLabel* Label9 = nullptr;
    QCheckBox* chkEnWd = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* tbxFileOpen = nullptr;
    QPushButton* btnFileOpen = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* tbxFileOut = nullptr;
    QPushButton* btnRun = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnHelp = nullptr;
    QFrame* Frame4 = nullptr;
    QLabel* Label10 = nullptr;
};
