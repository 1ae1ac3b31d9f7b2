#include "mainwin/frmtrelvo_qt.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFontMetrics>
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

namespace trelvo::qt {

namespace form = design::mainForm;
using design::Control;

namespace {

constexpr double kSmallestPointSize = 6.0;

QString qs(const char* utf8) {
    return utf8 != nullptr ? QString::fromUtf8(utf8) : QString();
}

// An entry box's background follows its state: COLOR_WINDOW (the scheme's Base colour) when
// enabled, COLOR_INACTIVEBORDER (the scheme's disabled Base colour, a light grey) when disabled.
// Set for every colour group, or the style would paint a disabled box with the palette's own
// disabled colour and ignore ours.
void paintBox(QLineEdit* box) {
    const QColor colour = box->isEnabled() ? colorWindow() : colorInactiveBorder();
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
    setWindowIcon(resources::programIcon());
    // A plain top-level window: minimise but no maximise, since the size is fixed.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(clientSize(form::window));
    // Shown without a position of its own, a dialog is centred on the screen when it appears.

    createControls();
    fitFont();
    setTabOrderAndFocus();
    connectHandlers();
    logic_.Form_Load();
}

frmTrelvo::~frmTrelvo() = default;

void frmTrelvo::createControls() {
    widgets_.create(this, form::kControls);
#define TRELVO_BIND(name) widgets_.bind(name, form::name);
    TRELVO_MAIN_FORM_CONTROLS(TRELVO_BIND)
#undef TRELVO_BIND
    for (const Control* c : form::kControls) {
        if (c->kind == design::Kind::TextBox) {
            paintBox(static_cast<QLineEdit*>(widgets_[*c]));
        } else if (c->kind == design::Kind::Button) {
            // No button is a default button: Enter presses only the button that has the focus
            // (see keyPressEvent), so Enter in an entry box cannot start a run or end the program.
            static_cast<QPushButton*>(widgets_[*c])->setAutoDefault(false);
        }
    }
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
    const std::vector<const Control*> order = design::tabOrder(form::kControls);
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(widgets_[*order[i - 1]], widgets_[*order[i]]);
    }
    widgets_[*order.front()]->setFocus();
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
    return static_cast<QLineEdit*>(widgets_[box])->text().toStdString();
}

void frmTrelvo::setText(const Control& box, const std::string& text) {
    static_cast<QLineEdit*>(widgets_[box])->setText(QString::fromStdString(text));
}

CheckValue frmTrelvo::value(const Control& check) const {
    switch (static_cast<QCheckBox*>(widgets_[check])->checkState()) {
        case Qt::Unchecked:
            return CheckValue::Unchecked;
        case Qt::Checked:
            return CheckValue::Checked;
        case Qt::PartiallyChecked:
            break;
    }
    return CheckValue::Greyed;
}

void frmTrelvo::setEntryEnabled(const Control& box, bool enabled) {
    setBoxEnabled(static_cast<QLineEdit*>(widgets_[box]), enabled);
}

void frmTrelvo::fillOpenDialogRequest() {
    OpenDlgRec.owner = this;
    OpenDlgRec.title = qs(form::kOpenDialogTitle);
    OpenDlgRec.filters.clear();
    for (const design::FileFilter& f : form::kOpenDialogFilters) {
        OpenDlgRec.filters << qs(f.description);  // Qt reads the pattern from the parentheses
    }
    OpenDlgRec.filterIndex = form::kOpenDialogFilterIndex;
    OpenDlgRec.fileName.clear();  // the first Browse opens in the default folder
}

std::optional<std::string> frmTrelvo::showOpenDialog() {
    const std::optional<QString> chosen = FileDialogs::getOpenFileName(OpenDlgRec);
    if (!chosen) {
        return std::nullopt;
    }
    return chosen->toStdString();
}

void frmTrelvo::showBox(const Report& report) {
    MessageBoxes::show(this, report);
}

void frmTrelvo::setBusy(bool busy) {
    if (busy) {
        busy_.emplace();
    } else {
        busy_.reset();
    }
}

// ---- Events ----

#define TRELVO_FORWARD(handler) \
    void frmTrelvo::handler() { logic_.handler(); }
TRELVO_MAIN_FORM_LOGIC_EVENTS(TRELVO_FORWARD)
#undef TRELVO_FORWARD

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

}  // namespace trelvo::qt
