#include "platform/desktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace trelvo {

namespace {

class DesktopUrlOpener : public UrlOpener {
public:
    int open(const QString& url) override {
        return QDesktopServices::openUrl(QUrl(url)) ? kUrlOpened : kUrlNoHandler;
    }
};

UrlOpener* installed = nullptr;

}  // namespace

bool fileExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.fileName().startsWith(QLatin1Char('.'));
}

bool startProgram(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    // startDetached reports a failed exec of the child, not just a failed fork.
    return QProcess::startDetached(path, {});
}

UrlOpener& urlOpener() {
    static DesktopUrlOpener desktop;
    return installed != nullptr ? *installed : desktop;
}

void setUrlOpener(UrlOpener* opener) {
    installed = opener;
}

}  // namespace trelvo
