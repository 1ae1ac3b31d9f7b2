#include "mainwin/frmtrelvo.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include <exception>
#include <string>

#include "infowin/frmHelp.h"
#include "platform/messagebox.h"
#include "platform/syscolors.h"
#include "platform/twips.h"
#include "resources/resources.h"

namespace {

constexpr double kSmallestPointSize = 6.0;

constexpr int px(int twips) {
    return trelvo::twipsToPixels(twips);
}
constexpr QRect twips(int left, int top, int width, int height) {
    return trelvo::twipRect(left, top, width, height);
}

template <typename W>
W* place(W* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
    return place(new QLabel(caption, parent), name, geometry);
}

QLineEdit* textBox(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                   const QString& toolTip) {
    auto* box = place(new QLineEdit(text, parent), name, geometry);
    box->setToolTip(toolTip);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption,
                    const QRect& geometry) {
    auto* b = place(new QPushButton(caption, parent), name, geometry);
    // No button is a default button: Enter presses only the button that has the focus (see
    // keyPressEvent), so Enter in an entry box cannot start a run or end the program.
    b->setAutoDefault(false);
    return b;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
    return place(new QGroupBox(caption, parent), name, geometry);
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

// Browse counts only blanks around a path as padding, not other white space.
QString trimBlanks(const QString& path) {
    qsizetype first = 0;
    qsizetype end = path.size();
    while (first < end && path.at(first) == u' ') {
        ++first;
    }
    while (end > first && path.at(end - 1) == u' ') {
        --end;
    }
    return path.mid(first, end - first);
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

trelvo::Report noFileSelected() {
    return {"No file selected", "File select error", trelvo::Icon::Warning};
}

trelvo::Report overwriteWarning() {
    return {"New filename exists and will be OVERWRITTEN -\rChange filename to prevent overwrite.",
            "Overwrite File?", trelvo::Icon::Warning};
}

}  // namespace

frmTrelvo::frmTrelvo(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTrelvo"));
    setWindowTitle(QStringLiteral("Trelvo"));
    setWindowIcon(trelvo::resources::programIcon());
    // A plain top-level window: minimise but no maximise, since the size is fixed.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(px(4335), px(4875));
    // Shown without a position of its own, a dialog is centred on the screen when it appears.

    createControls();
    fitFont();
    setTabOrderAndFocus();
    connectHandlers();
    Form_Load();
}

frmTrelvo::~frmTrelvo() = default;

void frmTrelvo::createControls() {
    Label5 = label(this, "Label5", QStringLiteral("PADS PowerPCB PCB Lib Trelvo"),
                   twips(120, 120, 4095, 255));

    Frame1 = frame(this, "Frame1", QStringLiteral("Layer"), twips(120, 480, 1815, 1575));
    Label1 = label(Frame1, "Label1", QStringLiteral("Old Layer"), twips(240, 360, 855, 255));
    tbxOldLyr = textBox(Frame1, "tbxOldLyr", QStringLiteral("0"), twips(1200, 300, 495, 300),
                        QStringLiteral("Layer # (0-30)"));
    Label2 = label(Frame1, "Label2", QStringLiteral("New Layer"), twips(240, 840, 855, 255));
    tbxNewLyr = textBox(Frame1, "tbxNewLyr", QStringLiteral("1"), twips(1200, 800, 495, 300),
                        QStringLiteral("Layer # (0-30)"));
    Label8 = label(Frame1, "Label8", QStringLiteral("Enable"), twips(240, 1200, 615, 255));
    chkEnLyr = place(new QCheckBox(Frame1), "chkEnLyr", twips(840, 1200, 255, 255));

    const QString widthTip =
        QStringLiteral("Valid entry mils: >0; <= 250 (6.35mm) -append mm for metric");
    Frame2 = frame(this, "Frame2", QStringLiteral("Line Width"), twips(2040, 480, 2175, 1575));
    Label3 = label(Frame2, "Label3", QStringLiteral("Old Width"), twips(240, 360, 855, 255));
    tbxOldWd =
        textBox(Frame2, "tbxOldWd", QStringLiteral("10"), twips(1200, 300, 855, 300), widthTip);
    Label4 = label(Frame2, "Label4", QStringLiteral("New Width"), twips(240, 840, 855, 255));
    tbxNewWd =
        textBox(Frame2, "tbxNewWd", QStringLiteral("5"), twips(1200, 800, 855, 300), widthTip);
    Label9 = label(Frame2, "Label9", QStringLiteral("Enable"), twips(240, 1200, 615, 255));
    chkEnWd = place(new QCheckBox(Frame2), "chkEnWd", twips(840, 1200, 255, 255));

    Frame3 = frame(this, "Frame3", QString(), twips(120, 2160, 4095, 1695));
    Label6 = label(Frame3, "Label6", QStringLiteral("Old *.d file"), twips(240, 240, 975, 255));
    tbxFileOpen = textBox(Frame3, "tbxFileOpen", QString(), twips(240, 480, 2655, 300),
                          QStringLiteral("Decal file to update (read)."));
    btnFileOpen =
        button(Frame3, "btnFileOpen", QStringLiteral("Browse"), twips(3000, 480, 855, 325));
    btnFileOpen->setToolTip(QStringLiteral("Directory navigation"));
    Label7 = label(Frame3, "Label7", QStringLiteral("New *.d file"), twips(240, 960, 975, 255));
    tbxFileOut = textBox(Frame3, "tbxFileOut", QString(), twips(240, 1200, 2655, 300),
                         QStringLiteral("Write to updated file."));

    btnRun = button(this, "btnRun", QStringLiteral("Run"), twips(480, 4080, 975, 325));
    btnRun->setToolTip(QStringLiteral("Update lib file."));
    btnClose = button(this, "btnClose", QStringLiteral("Close"), twips(1680, 4080, 975, 325));
    btnHelp = button(this, "btnHelp", QStringLiteral("Help"), twips(2760, 4080, 975, 325));

    // 30 twips high: a sunken divider line above the credit line.
    Frame4 = place(new QFrame(this), "Frame4", twips(120, 4560, 4150, 30));
    Frame4->setFrameShape(QFrame::HLine);
    Frame4->setFrameShadow(QFrame::Sunken);
    Label10 = label(this, "Label10", QStringLiteral("Trelvo " TRELVO_VERSION " for PCB librarians"),
                    twips(840, 4620, 2775, 225));
    Label10->setToolTip(QStringLiteral(TRELVO_HOMEPAGE_URL));

    // Design values: the layer pair on, the width pair off.
    chkEnLyr->setChecked(true);
    setBoxEnabled(tbxOldLyr, true);
    setBoxEnabled(tbxNewLyr, true);
    chkEnWd->setChecked(false);
    setBoxEnabled(tbxOldWd, false);
    setBoxEnabled(tbxNewWd, false);
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
    // The new layer box comes before the old one, the old width box before the new one.
    QWidget* const order[] = {btnRun,     btnClose,    tbxNewLyr,   tbxOldLyr, tbxOldWd, tbxNewWd,
                              tbxFileOut, btnFileOpen, tbxFileOpen, btnHelp,   chkEnWd,  chkEnLyr};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    btnRun->setFocus();
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

void frmTrelvo::Form_Load() {
    EnLyr = true;
    EnWd = false;

    OpenDlgRec.owner = this;
    OpenDlgRec.title = QStringLiteral("Open Exported Decal File");
    OpenDlgRec.filters = {QStringLiteral("Decal Files (*.d)"), QStringLiteral("All Files (*.*)")};
    OpenDlgRec.filterIndex = 0;
    OpenDlgRec.fileName.clear();  // the first Browse opens in the default folder
}

// ---- Keeping state and controls in step ----

void frmTrelvo::enablePair(QCheckBox* check, QLineEdit* oldBox, QLineEdit* newBox, bool& flag) {
    switch (check->checkState()) {
        case Qt::Unchecked:
            setBoxEnabled(oldBox, false);
            setBoxEnabled(newBox, false);
            flag = false;
            break;
        case Qt::Checked:
            setBoxEnabled(oldBox, true);
            setBoxEnabled(newBox, true);
            flag = true;
            break;
        case Qt::PartiallyChecked:  // never the result of a click: leave everything as it is
            break;
    }
}

void frmTrelvo::chkEnLyr_Click() {
    enablePair(chkEnLyr, tbxOldLyr, tbxNewLyr, EnLyr);
}

void frmTrelvo::chkEnWd_Click() {
    enablePair(chkEnWd, tbxOldWd, tbxNewWd, EnWd);
}

void frmTrelvo::tbxFileOpen_Change() {
    InFileName = tbxFileOpen->text().toStdString();
}

void frmTrelvo::tbxFileOut_Change() {
    OutFileName = tbxFileOut->text().toStdString();
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

// ---- Run ----

void frmTrelvo::report(const trelvo::Report& r) {
    busy_.reset();  // the box is the end of the run; it must not show the busy cursor
    trelvo::MessageBoxes::show(this, r);
}

trelvo::RunContext frmTrelvo::runContext() {
    return {files_, [this](const trelvo::Report& r) { report(r); }};
}

bool frmTrelvo::Valid_Entries() {
    const trelvo::EntryTexts entries{
        tbxOldLyr->text().toStdString(), tbxNewLyr->text().toStdString(),
        tbxOldWd->text().toStdString(), tbxNewWd->text().toStdString()};
    return trelvo::Valid_Entries(*this, entries, runContext().report);
}

void frmTrelvo::Open_Dfile() {
    trelvo::RunContext ctx = runContext();
    trelvo::Open_Dfile(*this, ctx);
}

void frmTrelvo::Close_IO() {
    trelvo::Close_IO(*this, files_);
}

void frmTrelvo::Read_DFile(std::string_view old_lyr, std::string_view new_lyr,
                           std::string_view old_wd, std::string_view new_wd) {
    trelvo::RunContext ctx = runContext();
    trelvo::Read_DFile(*this, ctx, old_lyr, new_lyr, old_wd, new_wd);
}

void frmTrelvo::btnRun_Click() {
    busy_.emplace();
    if (Valid_Entries()) {
        Open_Dfile();
        if (!OpenErr) {
            // As they stand in the boxes, also for a disabled pair: the pass decides what counts.
            const std::string old_lyr = tbxOldLyr->text().toStdString();
            const std::string new_lyr = tbxNewLyr->text().toStdString();
            const std::string old_wd = tbxOldWd->text().toStdString();
            const std::string new_wd = tbxNewWd->text().toStdString();
            Read_DFile(old_lyr, new_lyr, old_wd, new_wd);
        }
    }
    busy_.reset();
}

// ---- Browse ----

void frmTrelvo::btnFileOpen_Click() {
    try {
        const std::optional<QString> chosen = trelvo::FileDialogs::getOpenFileName(OpenDlgRec);
        if (!chosen) {
            trelvo::MessageBoxes::show(this, noFileSelected());
            return;
        }
        const QString path = trimBlanks(*chosen);
        InFileName = path.toStdString();
        tbxFileOpen->setText(path);

        const std::optional<std::string> derived = trelvo::DeriveOutputName(InFileName);
        if (!derived) {
            return;  // any other ending: the output box keeps what it holds
        }
        OutFileName = *derived;
        tbxFileOut->setText(QString::fromStdString(*derived));
        // Anything but a folder of that name would be emptied by the next run, hidden files
        // included, so the user hears of every one.
        const QFileInfo existing(tbxFileOut->text());
        if (existing.exists() && !existing.isDir()) {
            trelvo::MessageBoxes::show(this, overwriteWarning());
        }
    } catch (const std::exception&) {
        trelvo::MessageBoxes::show(this, noFileSelected());
    }
}

// ---- Help, Close, keys ----

void frmTrelvo::btnHelp_Click() {
    frmHelp::showModal(this);
}

void frmTrelvo::btnClose_Click() {
    close();
    QCoreApplication::quit();
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
