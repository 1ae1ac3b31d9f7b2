// Helpers of the main-window tests: the message boxes and the file-open dialog answered without
// a modal loop, the window's controls by name, and files in a temporary folder.
#pragma once

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QString>
#include <QTest>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/report.h"
#include "mainwin/filedialog_qt.h"
#include "mainwin/frmtrelvo_qt.h"
#include "ui/qt/messagebox_qt.h"

namespace testing_support {

using trelvo::qt::frmTrelvo;

struct ShownBox {
    QString text;
    QString title;
    trelvo::Icon icon;
    QWidget* parent;
    bool busyCursor;  // an override cursor was up while the box was shown
};

// Records every box instead of showing it, for as long as it lives.
class BoxRecorder {
public:
    BoxRecorder() {
        trelvo::qt::MessageBoxes::setRecorder([this](QWidget* parent, const trelvo::Report& r) {
            boxes.push_back({QString::fromStdString(r.text), QString::fromStdString(r.title),
                             r.icon, parent, QApplication::overrideCursor() != nullptr});
        });
    }
    ~BoxRecorder() { trelvo::qt::MessageBoxes::setRecorder(nullptr); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<ShownBox> boxes;
};

// Answers the file-open dialog from a queue (no answer left counts as a cancel) and keeps the
// requests it was shown.
class FileAnswers {
public:
    FileAnswers() {
        trelvo::qt::FileDialogs::setAnswerer([this](const trelvo::qt::OpenFileRequest& request) {
            requests.push_back(request);
            std::optional<QString> answer;
            if (!answers.empty()) {
                answer = answers.front();
                answers.pop_front();
            }
            return answer;
        });
    }
    ~FileAnswers() { trelvo::qt::FileDialogs::setAnswerer(nullptr); }
    FileAnswers(const FileAnswers&) = delete;
    FileAnswers& operator=(const FileAnswers&) = delete;

    std::deque<std::optional<QString>> answers;
    std::vector<trelvo::qt::OpenFileRequest> requests;
};

// The window's control of that objectName; aborts the test program when there is none, since
// every later check would be meaningless.
template <typename W>
W* control(const QWidget& window, const char* name) {
    W* found = window.findChild<W*>(QLatin1String(name));
    if (!found) {
        qFatal("no control %s of the expected kind", name);
    }
    return found;
}

inline QLineEdit* box(const QWidget& window, const char* name) {
    return control<QLineEdit>(window, name);
}

// Replaces a box's text the way a user does: select all, then type.
inline void retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace testing_support
