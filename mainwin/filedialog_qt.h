// The one place where the program asks the user for a file to open. Browse goes through it so
// that tests can answer the dialog instead of driving a modal loop.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace trelvo::qt {

// What the main window asks the file-open dialog for. It is filled once when the window loads
// and reused by every Browse, so each Browse opens on the file chosen the time before.
struct OpenFileRequest {
    QWidget* owner = nullptr;  // the dialog is modal to this window
    QString title;
    QStringList filters;  // Qt name filters, in the order shown
    int filterIndex = 0;  // the filter active when the dialog opens
    QString fileName;     // in: the file the dialog opens on (none at first); out: the choice
};

class FileDialogs {
public:
    // Shows a modal open-file dialog for the request. On a choice returns its full path and
    // stores it in request.fileName; returns nothing when the user cancelled. The file need not
    // exist: whether it can be read is found out when it is opened.
    static std::optional<QString> getOpenFileName(OpenFileRequest& request);

    // Tests install an answerer; while one is installed no dialog appears and its answer counts
    // as the user's.
    using Answerer = std::function<std::optional<QString>(const OpenFileRequest& request)>;
    static void setAnswerer(Answerer answerer);
};

}  // namespace trelvo::qt
