#include "mainwin/filedialog_qt.h"

#include <QFileDialog>

namespace trelvo::qt {

namespace {

FileDialogs::Answerer& answerer() {
    static FileDialogs::Answerer a;
    return a;
}

std::optional<QString> askUser(const OpenFileRequest& request) {
    QFileDialog dialog(request.owner, request.title);
    dialog.setObjectName(QStringLiteral("trelvoOpenFileDialog"));
    // Qt's own dialog behaves the same on every desktop and accepts a name that does not exist.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    if (request.filterIndex >= 0 && request.filterIndex < request.filters.size()) {
        dialog.selectNameFilter(request.filters.at(request.filterIndex));
    }
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);  // also opens the file's folder
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.constFirst();
}

}  // namespace

std::optional<QString> FileDialogs::getOpenFileName(OpenFileRequest& request) {
    std::optional<QString> chosen = answerer() ? answerer()(request) : askUser(request);
    if (chosen) {
        request.fileName = *chosen;
    }
    return chosen;
}

void FileDialogs::setAnswerer(Answerer a) {
    answerer() = std::move(a);
}

}  // namespace trelvo::qt
