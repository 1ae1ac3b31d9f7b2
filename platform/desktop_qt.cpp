// The desktop services on Linux, through Qt.
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "platform/desktop.h"

namespace trelvo {

namespace {

class DesktopUrlOpener : public UrlOpener {
public:
    int open(const std::string& url) override {
        return QDesktopServices::openUrl(QUrl(QString::fromStdString(url))) ? kUrlOpened
                                                                            : kUrlNoHandler;
    }
};

UrlOpener* installed = nullptr;

}  // namespace

bool fileExists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const QFileInfo info(QString::fromStdString(path));
    return info.exists() && info.isFile() && !info.fileName().startsWith(QLatin1Char('.'));
}

bool existsAsFile(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const QFileInfo info(QString::fromStdString(path));
    return info.exists() && !info.isDir();
}

bool startProgram(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    // startDetached reports a failed exec of the child, not just a failed fork.
    return QProcess::startDetached(QString::fromStdString(path), {});
}

UrlOpener& urlOpener() {
    static DesktopUrlOpener desktop;
    return installed != nullptr ? *installed : desktop;
}

void setUrlOpener(UrlOpener* opener) {
    installed = opener;
}

std::string fromSystemCodePage(std::string_view bytes) {
    const QByteArray raw(bytes.data(), qsizetype(bytes.size()));
    return QString::fromLocal8Bit(raw).toStdString();
}

}  // namespace trelvo
