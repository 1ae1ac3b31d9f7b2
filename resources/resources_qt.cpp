#include "resources/resources_qt.h"

#include <QFile>
#include <QPixmap>

namespace trelvo::resources {

QIcon programIcon() {
    return QIcon(QString::fromLatin1(kIconPath));
}

QCursor handCursor() {
    return QCursor(QPixmap(QString::fromLatin1(kHandCursorPath)), 12, 1);
}

QString text(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // The texts are plain ASCII; Latin-1 keeps every byte as one character.
    return QString::fromLatin1(file.readAll());
}

}  // namespace trelvo::resources
