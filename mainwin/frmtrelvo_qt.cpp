#include "mainwin/frmtrelvo_qt.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "infowin/frmHelp_qt.h"
#include "mainwin/design.h"
#include "ui/qt/messagebox_qt.h"
#include "ui/qt/twips_qt.h"
#include "ui/qt/syscolors_qt.h"
#include "resources/resources_qt.h"

namespace form = trelvo::design::mainForm;
using trelvo::design::Control;

namespace {

constexpr double kSmallestPointSize = 6.0;

QString qs(const char* utf8) {
    return utf8 != nullptr ? QString::fromUtf8(utf8) : QString();
}

template <typename W>
W* place(W* widget, const Control& c) {
    widget->setObjectName(QLatin1String(c.name));
    widget->setGeometry(trelvo::twipRect(c));
    if (c.toolTip != nullptr) {
        widget->setToolTip(qs(c.toolTip));
    }
    return widget;
}

// An entry box's background follows its state: COLOR_WINDOW (the scheme's Base colour) when
// enabled, COLOR_INACTIVEBORDER (the scheme's disabled Base colour, a light grey) when disabled.
// Set for every colour group, or the style would paint a disabled box with the palette's own
// disabled colour and ignore ours.
void paintBox(QLineEdit* box) {
    const QColor colour = box->isEnabled() ? trelvo::colorWindow() : trelvo::colorInactiveBorder();
    QPalette palette;  // only Base is set; every other role stays inherited
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, colour);
    }
    box->setPalette(palette);
}

void setBoxEnabled(QLineEdit* box, bool enabled) {
    box->setEnabled(enabled);
    paintBox(box);
}

// Room a push button's frame and margins take from its caption.
constexpr int kButtonPadding = 8;

bool captionsFit(const QWidget* window, const QFont& font) {
    const QFontMetrics metrics(font);
    const auto fits = [&](const QString& caption, const QRect& room) {
        return metrics.horizontalAdvance(caption) <= room.width() &&
               metrics.height() <= room.height();
    };
    for (const QLabel* l : window->findChildren<QLabel*>()) {
        if (!fits(l->text(), l->contentsRect())) {
            return false;
        }
    }
    for (const QPushButton* b : window->findChildren<QPushButton*>()) {
        if (!fits(b->text(), b->rect().adjusted(0, 0, -kButtonPadding, 0))) {
            return false;
        }
    }
    for (const QGroupBox* g : window->findChildren<QGroupBox*>()) {
        if (!fits(g->title(), g->rect())) {
            return false;
        }
    }
    return true;
}

}  // namespace

frmTrelvo::frmTrelvo(QWidget* parent) : QDialog(parent) {
    setObjectName(QLatin1String(form::window.name));
    setWindowTitle(qs(form::window.caption));
    setWindowIcon(trelvo::resources::programIcon());
    // A plain top-level window: minimise but no maximise, since the size is fixed.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(trelvo::clientSize(form::window));
    // Shown without a position of its own, a dialog is centred on the screen when it appears.

    createControls();
    fitFont();
    setTabOrderAndFocus();
    connectHandlers();
    logic_.Form_Load();
}

frmTrelvo::~frmTrelvo() = default;

void frmTrelvo::createControls() {
    // Each control goes into the window or the frame its design names.
    const auto in = [this](const Control& c) -> QWidget* {
        return c.in != nullptr ? widget(*c.in) : this;
    };
    for (const Control* c : form::kControls) {
        QWidget* made = nullptr;
        switch (c->kind) {
            case trelvo::design::Kind::Label:
                made = place(new QLabel(qs(c->caption), in(*c)), *c);
                break;
            case trelvo::design::Kind::TextBox: {
                auto* box = place(new QLineEdit(qs(c->caption), in(*c)), *c);
                setBoxEnabled(box, c->enabled);
                made = box;
                break;
            }
            case trelvo::design::Kind::Frame:
                if (c->height <= 30) {
                    // A frame this low is a sunken divider line.
                    auto* line = place(new QFrame(in(*c)), *c);
                    line->setFrameShape(QFrame::HLine);
                    line->setFrameShadow(QFrame::Sunken);
                    made = line;
                } else {
                    made = place(new QGroupBox(qs(c->caption), in(*c)), *c);
                }
                break;
            case trelvo::design::Kind::Button: {
                auto* b = place(new QPushButton(qs(c->caption), in(*c)), *c);
                // No button is a default button: Enter presses only the button that has the
                // focus (see keyPressEvent), so Enter in an entry box cannot start a run or end
                // the program.
                b->setAutoDefault(false);
                made = b;
                break;
            }
            case trelvo::design::Kind::CheckBox: {
                auto* check = place(new QCheckBox(in(*c)), *c);
                check->setChecked(c->checked);
                made = check;
                break;
            }
            default:
                break;
        }
        widgets_[c] = made;
    }

    const auto get = [this]<typename W>(W*& member, const Control& c) {
        member = static_cast<W*>(widget(c));
    };
    get(Label5, form::Label5);
    get(Frame1, form::Frame1);
    get(Label1, form::Label1);
    get(tbxOldLyr, form::tbxOldLyr);
    get(Label2, form::Label2);
    get(tbxNewLyr, form::tbxNewLyr);
    get(Label8, form::Label8);
    get(chkEnLyr, form::chkEnLyr);
    get(Frame2, form::Frame2);
    get(Label3, form::Label3);
    get(tbxOldWd, form::tbxOldWd);
    get(Label4, form::Label4);
    get(tbxNewWd, form::tbxNewWd);
    get(Label9, form::Label9);
    get(chkEnWd, form::chkEnWd);
    get(Frame3, form::Frame3);
    get(Label6, form::Label6);
    get(tbxFileOpen, form::tbxFileOpen);
    get(btnFileOpen, form::btnFileOpen);
    get(Label7, form::Label7);
    get(tbxFileOut, form::tbxFileOut);
    get(btnRun, form::btnRun);
    get(btnClose, form::btnClose);
    get(btnHelp, form::btnHelp);
    get(Frame4, form::Frame4);
    get(Label10, form::Label10);
}

QWidget* frmTrelvo::widget(const Control& c) const {
    const auto found = widgets_.find(&c);
    return found != widgets_.end() ? found->second : nullptr;
}

// The layout was drawn for a small dialog font. Where the desktop's default font is larger every
// caption is still shown whole: the window takes the largest size of that font at which they all
// fit, the same for all controls so that neighbouring captions match.
void frmTrelvo::fitFont() {
    QFont f = font();
    if (f.pointSizeF() <= 0) {
        return;  // a font given in pixels is the user's explicit choice
    }
    while (!captionsFit(this, f) && f.pointSizeF() > kSmallestPointSize) {
        f.setPointSizeF(f.pointSizeF() - 0.5);
    }
    if (f != font()) {
        setFont(f);
    }
}

void frmTrelvo::setTabOrderAndFocus() {
    const std::vector<const Control*> order = trelvo::design::tabOrder(form::kControls);
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(widget(*order[i - 1]), widget(*order[i]));
    }
    widget(*order.front())->setFocus();
}

void frmTrelvo::connectHandlers() {
    connect(chkEnLyr, &QCheckBox::clicked, this, &frmTrelvo::chkEnLyr_Click);
    connect(chkEnWd, &QCheckBox::clicked, this, &frmTrelvo::chkEnWd_Click);
    connect(tbxFileOpen, &QLineEdit::textChanged, this, &frmTrelvo::tbxFileOpen_Change);
    connect(tbxFileOut, &QLineEdit::textChanged, this, &frmTrelvo::tbxFileOut_Change);
    connect(btnRun, &QPushButton::clicked, this, &frmTrelvo::btnRun_Click);
    connect(btnFileOpen, &QPushButton::clicked, this, &frmTrelvo::btnFileOpen_Click);
    connect(btnHelp, &QPushButton::clicked, this, &frmTrelvo::btnHelp_Click);
    connect(btnClose, &QPushButton::clicked, this, &frmTrelvo::btnClose_Click);
}

// ---- The controls, as the shared logic sees them ----

std::string frmTrelvo::text(const Control& box) const {
    return static_cast<QLineEdit*>(widget(box))->text().toStdString();
}

void frmTrelvo::setText(const Control& box, const std::string& text) {
    static_cast<QLineEdit*>(widget(box))->setText(QString::fromStdString(text));
}

trelvo::CheckValue frmTrelvo::value(const Control& check) const {
    switch (static_cast<QCheckBox*>(widget(check))->checkState()) {
        case Qt::Unchecked:
            return trelvo::CheckValue::Unchecked;
        case Qt::Checked:
            return trelvo::CheckValue::Checked;
        case Qt::PartiallyChecked:
            break;
    }
    return trelvo::CheckValue::Greyed;
}

void frmTrelvo::setEntryEnabled(const Control& box, bool enabled) {
    setBoxEnabled(static_cast<QLineEdit*>(widget(box)), enabled);
}

void frmTrelvo::fillOpenDialogRequest() {
    OpenDlgRec.owner = this;
    OpenDlgRec.title = qs(form::kOpenDialogTitle);
    OpenDlgRec.filters.clear();
    for (const trelvo::design::FileFilter& f : form::kOpenDialogFilters) {
        OpenDlgRec.filters << qs(f.description);  // Qt reads the pattern from the parentheses
    }
    OpenDlgRec.filterIndex = form::kOpenDialogFilterIndex;
    OpenDlgRec.fileName.clear();  // the first Browse opens in the default folder
}

std::optional<std::string> frmTrelvo::showOpenDialog() {
    const std::optional<QString> chosen = trelvo::FileDialogs::getOpenFileName(OpenDlgRec);
    if (!chosen) {
        return std::nullopt;
    }
    return chosen->toStdString();
}

void frmTrelvo::showBox(const trelvo::Report& report) {
    trelvo::MessageBoxes::show(this, report);
}

void frmTrelvo::setBusy(bool busy) {
    if (busy) {
        busy_.emplace();
    } else {
        busy_.reset();
    }
}

// ---- Events ----

void frmTrelvo::chkEnLyr_Click() {
    logic_.chkEnLyr_Click();
}

void frmTrelvo::chkEnWd_Click() {
    logic_.chkEnWd_Click();
}

void frmTrelvo::tbxFileOpen_Change() {
    logic_.tbxFileOpen_Change();
}

void frmTrelvo::tbxFileOut_Change() {
    logic_.tbxFileOut_Change();
}

void frmTrelvo::btnRun_Click() {
    logic_.btnRun_Click();
}

void frmTrelvo::btnFileOpen_Click() {
    logic_.btnFileOpen_Click();
}

void frmTrelvo::btnHelp_Click() {
    frmHelp::showModal(this);
}

void frmTrelvo::btnClose_Click() {
    close();
    QCoreApplication::quit();
}

void frmTrelvo::changeEvent(QEvent* event) {
    // The box colours are the scheme's colours of the moment: take the new ones when it changes.
    if (event->type() == QEvent::ApplicationPaletteChange ||
        event->type() == QEvent::PaletteChange) {
        for (QLineEdit* box : {tbxOldLyr, tbxNewLyr, tbxOldWd, tbxNewWd}) {
            paintBox(box);
        }
    }
    QDialog::changeEvent(event);
}

void frmTrelvo::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            // A dialog closes on Escape; this one is the program, which ends only on purpose.
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
                focused->click();
            }
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}
