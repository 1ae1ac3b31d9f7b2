// The program's working window, Qt edition: the input and output file names, the layer and the
// line-width pair with their enable boxes, and Run, Close, Help and Browse. Its controls are made
// from the shared design, and its handlers forward to the shared window logic, which holds the
// run state and hands a run to the engine.
#pragma once

#include <QDialog>

#include <optional>
#include <string_view>

#include "mainwin/busycursor_qt.h"
#include "mainwin/design.h"
#include "mainwin/filedialog_qt.h"
#include "mainwin/mainlogic.h"
#include "ui/qt/widgets_qt.h"

namespace trelvo::qt {

class frmTrelvo : public QDialog, private MainFormControls {
    Q_OBJECT

public:
    explicit frmTrelvo(QWidget* parent = nullptr);
    ~frmTrelvo() override;

    // The run state, for whoever needs to look at it (the tests).
    const MainFormState& state() const { return logic_; }
    const OpenFileRequest& openDialogRequest() const { return OpenDlgRec; }

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
    std::string text(const design::Control& box) const override;
    void setText(const design::Control& box, const std::string& text) override;
    CheckValue value(const design::Control& check) const override;
    void setEntryEnabled(const design::Control& box, bool enabled) override;
    void fillOpenDialogRequest() override;
    std::optional<std::string> showOpenDialog() override;
    void showBox(const Report& report) override;
    void setBusy(bool busy) override;

    void createControls();
    void fitFont();
    void setTabOrderAndFocus();
    void connectHandlers();

    OpenFileRequest OpenDlgRec;
    MainFormLogic logic_{*this};
    std::optional<BusyCursor> busy_;  // held while a run works
    DesignWidgets widgets_;

    // The controls, as named members of the classes their designs make.
#define TRELVO_DECLARE(name) WidgetOf<design::mainForm::name>* name = nullptr;
    TRELVO_MAIN_FORM_CONTROLS(TRELVO_DECLARE)
#undef TRELVO_DECLARE
};

}  // namespace trelvo::qt
