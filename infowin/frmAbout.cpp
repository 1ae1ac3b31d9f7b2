#include "infowin/frmAbout.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>

#include <stdexcept>

#include "engine/report.h"
#include "infowin/fitfont.h"
#include "infowin/linklabel.h"
#include "platform/twips.h"
#include "platform/desktop.h"
#include "platform/messagebox.h"
#include "resources/resources.h"

using namespace trelvo;

namespace {

const char* const kHomepage = TRELVO_HOMEPAGE_URL;

const QString gcRegKeySysInfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString gcRegValSysInfo = QStringLiteral("PATH");
const QString gcRegKeySysInfoLoc = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString gcRegValSysInfoLoc = QStringLiteral("MSINFO");

constexpr std::uint32_t kValueBufferSize = 1024;

QFrame* makeRule(QWidget* parent, const QRect& geometry, const QColor& colour) {
    auto* rule = new QFrame(parent);
    rule->setObjectName(QStringLiteral("Line1"));
    rule->setGeometry(geometry);
    rule->setFrameShape(QFrame::NoFrame);
    rule->setAutoFillBackground(true);
    QPalette palette = rule->palette();
    palette.setColor(QPalette::Window, colour);
    rule->setPalette(palette);
    return rule;
}

// Closes an opened key on every way out of GetKeyValue, the thrown error included.
class KeyCloser {
public:
    KeyCloser(RegistryReader& reader, RegKey key) : reader_(reader), key_(key) {}
    ~KeyCloser() { reader_.close(key_); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    RegistryReader& reader_;
    RegKey key_;
};

}  // namespace

frmAbout::frmAbout(QWidget* owner)
    : QDialog(owner),
      picIcon(new QLabel(this)),
      lblTitle(new QLabel(QStringLiteral("Application Title"), this)),
      lblVersion(new QLabel(QStringLiteral("Version"), this)),
      lblDescription(new QLabel(QStringLiteral("Updates a PowerPCB PCB Decal lib file. Permits "
                                               "modification of decal outline layer and line "
                                               "width."),
                                this)),
      Line1{
          makeRule(this,
                   QRect(twipsToPixels(105), twipsToPixels(2220), twipsToPixels(4680 - 105), 2),
                   QColor(0xFF, 0xFF, 0xFF)),
          makeRule(this, QRect(twipsToPixels(90), twipsToPixels(2205), twipsToPixels(4680 - 90), 1),
                   QColor(0x80, 0x80, 0x80))},
      lblDisclaimer(
          new QLabel(QStringLiteral("Provided free of charge and as is, without warranty."), this)),
      lblLnk(new LinkLabel(QUrl(QString::fromUtf8(kHomepage)).host(), this)),
      cmdOK(new QPushButton(QStringLiteral("OK"), this)),
      cmdSysInfo(new QPushButton(QStringLiteral("&System Info..."), this)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowIcon(resources::programIcon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twipSize(4860, 3345));

    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(twipRect(120, 120, 870, 1935));
    picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picIcon->setLineWidth(2);
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setPixmap(QPixmap(QString::fromLatin1(resources::kLogoPath)));

    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(twipRect(1080, 240, 3645, 480));
    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(twipRect(1050, 780, 3765, 225));

    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setGeometry(twipRect(1050, 1125, 3645, 930));
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setWordWrap(true);

    Line1[0]->setProperty("Index", 0);
    Line1[1]->setProperty("Index", 1);

    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setGeometry(twipRect(240, 2385, 3135, 465));
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDisclaimer->setWordWrap(true);

    lblLnk->setObjectName(QStringLiteral("lblLnk"));
    lblLnk->setGeometry(twipRect(240, 2880, 2415, 255));
    lblLnk->setCursor(resources::handCursor());
    connect(lblLnk, &LinkLabel::clicked, this, &frmAbout::lblLnk_Click);

    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipRect(3480, 2400, 1260, 345));
    cmdOK->setDefault(true);  // Enter; Escape reaches reject(), which closes the window too
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(twipRect(3480, 2835, 1245, 345));
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
    const QString title = QString::fromLatin1(kProgramTitle);
    setWindowTitle(QStringLiteral("About ") + title);
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(TRELVO_VERSION_MAJOR)
                            .arg(TRELVO_VERSION_MINOR)
                            .arg(TRELVO_VERSION_PATCH));
    lblTitle->setText(title);

    QFont font = lblLnk->font();
    font.setUnderline(true);
    lblLnk->setFont(font);
    QPalette palette = lblLnk->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::WindowText, QColor(0, 0, 255));
    }
    lblLnk->setPalette(palette);
    lblLnk->setCursor(resources::handCursor());
    lblLnk->setText(QString::fromUtf8(kHomepage));
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
    const auto unavailable = [this] {
        MessageBoxes::show(
            this, Report{"System Information Is Unavailable At This Time", "", Icon::None});
    };
    try {
        QString SysInfoPath;
        if (GetKeyValue(kHkeyLocalMachine, gcRegKeySysInfo, gcRegValSysInfo, SysInfoPath)) {
            // Taken as it is: a path that no longer exists fails to start below.
        } else if (GetKeyValue(kHkeyLocalMachine, gcRegKeySysInfoLoc, gcRegValSysInfoLoc,
                               SysInfoPath)) {
            if (!fileExists(SysInfoPath + QStringLiteral("\\MSINFO32.EXE"))) {
                unavailable();
                return;
            }
            SysInfoPath = SysInfoPath + QStringLiteral("\\MSINFO32.EXE");
        } else {
            unavailable();
            return;
        }
        if (!startProgram(SysInfoPath)) {
            unavailable();
        }
    } catch (const std::exception&) {
        unavailable();
    }
}

bool frmAbout::GetKeyValue(RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                           QString& KeyVal) {
    RegistryReader& reader = registry();
    RegKey hKey = 0;
    if (reader.open(KeyRoot, KeyName.toStdString(), 0, kKeyAccessMask, &hKey) != kErrorSuccess) {
        KeyVal.clear();
        return false;
    }
    const KeyCloser closer(reader, hKey);

    std::array<unsigned char, kValueBufferSize> tmpVal{};
    std::uint32_t KeyValSize = kValueBufferSize;
    std::uint32_t KeyValType = 0;
    if (reader.query(hKey, SubKeyRef.toStdString(), &KeyValType, tmpVal.data(), &KeyValSize) !=
            kErrorSuccess ||
        KeyValSize > kValueBufferSize) {
        KeyVal.clear();
        return false;
    }

    if (KeyValSize == 0) {
        throw RegistryValueError("registry value has no bytes");
    }
    QByteArray bytes(reinterpret_cast<const char*>(tmpVal.data()), qsizetype(KeyValSize));
    if (bytes.endsWith('\0')) {
        bytes.chop(1);  // the terminating zero of a text value
    }

    switch (KeyValType) {
        case kRegSz:
            KeyVal = QString::fromLocal8Bit(bytes);
            break;
        case kRegDword: {
            // Stored least significant byte first; written most significant first.
            QString hex;
            for (auto it = bytes.crbegin(); it != bytes.crend(); ++it) {
                hex += QStringLiteral("%1").arg(uchar(*it), 2, 16, QLatin1Char('0')).toUpper();
            }
            KeyVal = QStringLiteral("&h") + hex;
            break;
        }
        default:
            break;  // other types leave KeyVal as it was
    }
    return true;
}

int frmAbout::HyprLnk(const QString& URL) {
    return urlOpener().open(URL);
}
