#include "infowin/frmAbout_qt.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <string>

#include "engine/report.h"
#include "infowin/design.h"
#include "infowin/fitfont_qt.h"
#include "infowin/linklabel_qt.h"
#include "platform/desktop.h"
#include "ui/qt/messagebox_qt.h"
#include "ui/qt/twips_qt.h"
#include "resources/resources_qt.h"

using namespace trelvo;
namespace form = trelvo::design::aboutForm;

namespace {

QString qs(const char* utf8) {
    return QString::fromUtf8(utf8);
}

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

template <typename W>
W* place(W* widget, const design::Control& c) {
    widget->setObjectName(QLatin1String(c.name));
    widget->setGeometry(twipRect(c));
    return widget;
}

}  // namespace

frmAbout::frmAbout(QWidget* owner)
    : QDialog(owner),
      picIcon(place(new QLabel(this), form::picIcon)),
      lblTitle(place(new QLabel(qs(form::lblTitle.caption), this), form::lblTitle)),
      lblVersion(place(new QLabel(qs(form::lblVersion.caption), this), form::lblVersion)),
      lblDescription(
          place(new QLabel(qs(form::lblDescription.caption), this), form::lblDescription)),
      Line1{makeRule(this, form::Line1_0), makeRule(this, form::Line1_1)},
      lblDisclaimer(place(new QLabel(qs(form::lblDisclaimer.caption), this), form::lblDisclaimer)),
      lblLnk(place(new LinkLabel(qs(form::lblLnk.caption), this), form::lblLnk)),
      cmdOK(place(new QPushButton(qs(form::cmdOK.caption), this), form::cmdOK)),
      cmdSysInfo(place(new QPushButton(qs(form::cmdSysInfo.caption), this), form::cmdSysInfo)) {
    setObjectName(QLatin1String(form::window.name));
    setWindowTitle(qs(form::window.caption));
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

    Form_Load();
}

void frmAbout::showModal(QWidget* owner) {
    frmAbout window(owner);
    window.setWindowModality(Qt::WindowModal);
    window.exec();
}

void frmAbout::Form_Load() {
    setWindowTitle(QString::fromStdString(about::caption()));
    lblVersion->setText(QString::fromStdString(about::versionText()));
    lblTitle->setText(QString::fromLatin1(kProgramTitle));

    QFont font = lblLnk->font();
    font.setUnderline(true);
    lblLnk->setFont(font);
    QPalette palette = lblLnk->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::WindowText, colour(form::kLinkRgb));
    }
    lblLnk->setPalette(palette);
    lblLnk->setCursor(resources::handCursor());
    lblLnk->setText(qs(form::kHomepage));
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

void frmAbout::lblLnk_Click() {
    HyprLnk(lblLnk->text());
}

void frmAbout::StartSysInfo() {
    about::StartSysInfo(registry(), [this](const Report& r) { MessageBoxes::show(this, r); });
}

bool frmAbout::GetKeyValue(RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                           QString& KeyVal) {
    std::string value = KeyVal.toStdString();
    const bool read = about::GetKeyValue(registry(), KeyRoot, KeyName.toStdString(),
                                         SubKeyRef.toStdString(), value);
    KeyVal = QString::fromStdString(value);
    return read;
}

int frmAbout::HyprLnk(const QString& URL) {
    return urlOpener().open(URL.toStdString());
}
