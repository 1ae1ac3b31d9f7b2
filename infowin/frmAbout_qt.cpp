#include "infowin/frmAbout_qt.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <string>

#include "engine/report.h"
#include "infowin/fitfont_qt.h"
#include "ui/qt/linklabel_qt.h"
#include "ui/qt/messagebox_qt.h"
#include "ui/qt/twips_qt.h"
#include "resources/resources_qt.h"

namespace trelvo::qt {

namespace form = design::aboutForm;

namespace {

QColor colour(unsigned rgb) {
    return QColor(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
}

QFrame* makeRule(QWidget* parent, const design::Line& line) {
    auto* rule = new QFrame(parent);
    rule->setObjectName(QLatin1String(line.name));
    rule->setProperty("Index", line.index);
    rule->setGeometry(QRect(twipsToPixels(line.x1), twipsToPixels(line.y1),
                            twipsToPixels(line.x2 - line.x1), line.widthPx));
    rule->setFrameShape(QFrame::NoFrame);
    rule->setAutoFillBackground(true);
    QPalette palette = rule->palette();
    palette.setColor(QPalette::Window, colour(line.rgb));
    rule->setPalette(palette);
    return rule;
}

}  // namespace

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
    widgets_.create(this, form::kControls);
    Line1 = {makeRule(this, form::Line1_0), makeRule(this, form::Line1_1)};
#define TRELVO_BIND(name) widgets_.bind(name, form::name);
    TRELVO_ABOUT_FORM_CONTROLS(TRELVO_BIND)
#undef TRELVO_BIND

    setObjectName(QLatin1String(form::window.name));
    setWindowTitle(QString::fromUtf8(form::window.caption));
    setWindowIcon(resources::programIcon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(clientSize(form::window));

    picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picIcon->setLineWidth(2);
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setPixmap(QPixmap(QString::fromLatin1(resources::kLogoPath)));

    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setWordWrap(true);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDisclaimer->setWordWrap(true);

    lblLnk->setCursor(resources::handCursor());
    connect(lblLnk, &LinkLabel::clicked, this, &frmAbout::lblLnk_Click);

    cmdOK->setDefault(true);  // Enter; Escape reaches reject(), which closes the window too
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    fitCaption(cmdOK);
    fitCaption(cmdSysInfo);
    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();

    logic_.Form_Load();
}

void frmAbout::showModal(QWidget* owner) {
    frmAbout window(owner);
    window.setWindowModality(Qt::WindowModal);
    window.exec();
}

// ---- The controls, as the shared logic sees them ----

void frmAbout::setCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

std::string frmAbout::text(const design::Control& label) const {
    return static_cast<QLabel*>(widgets_[label])->text().toStdString();
}

void frmAbout::setText(const design::Control& label, const std::string& text) {
    static_cast<QLabel*>(widgets_[label])->setText(QString::fromStdString(text));
}

void frmAbout::styleAsLink(const design::Control& label) {
    auto* link = static_cast<QLabel*>(widgets_[label]);
    QFont font = link->font();
    font.setUnderline(true);
    link->setFont(font);
    QPalette palette = link->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::WindowText, colour(form::kLinkRgb));
    }
    link->setPalette(palette);
    link->setCursor(resources::handCursor());
}

void frmAbout::showBox(const Report& report) {
    MessageBoxes::show(this, report);
}

// ---- Events ----

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    logic_.cmdSysInfo_Click();
}

void frmAbout::lblLnk_Click() {
    logic_.lblLnk_Click();
}

bool frmAbout::GetKeyValue(RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                           QString& KeyVal) {
    std::string value = KeyVal.toStdString();
    const bool read = about::GetKeyValue(registry(), KeyRoot, KeyName.toStdString(),
                                         SubKeyRef.toStdString(), value);
    KeyVal = QString::fromStdString(value);
    return read;
}

}  // namespace trelvo::qt
