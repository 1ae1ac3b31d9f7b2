// The program's working window: the input and output file names, the layer and the line-width
// pair with their enable boxes, and Run, Close, Help and Browse. It keeps the run state in step
// with its controls and hands a run to the engine, which holds all of the run logic.
#pragma once

#include <QDialog>

#include <optional>
#include <string_view>

#include "engine/report.h"
#include "engine/run.h"
#include "mainwin/busycursor.h"
#include "mainwin/filedialog.h"
#include "platform/channels.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The state fields are the window's own members, under the names the run sequence uses.
class frmTrelvo : public QDialog, private trelvo::MainFormState {
    Q_OBJECT

public:
    explicit frmTrelvo(QWidget* parent = nullptr);
    ~frmTrelvo() override;

    // The run state, for whoever needs to look at it (the tests).
    const trelvo::MainFormState& state() const { return *this; }
    const trelvo::OpenFileRequest& openDialogRequest() const { return OpenDlgRec; }

    // The steps of a run, each delegating to the engine with this window's state and files.
    bool Valid_Entries();
    void Open_Dfile();
    void Close_IO();
    void Read_DFile(std::string_view old_lyr, std::string_view new_lyr, std::string_view old_wd,
                    std::string_view new_wd);

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
    void Form_Load();
    void createControls();
    void fitFont();
    void setTabOrderAndFocus();
    void connectHandlers();
    void enablePair(QCheckBox* check, QLineEdit* oldBox, QLineEdit* newBox, bool& flag);
    void report(const trelvo::Report& r);
    trelvo::RunContext runContext();

    trelvo::OpenFileRequest OpenDlgRec;
    trelvo::FileChannels files_;
    std::optional<trelvo::BusyCursor> busy_;  // held while a run works

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
