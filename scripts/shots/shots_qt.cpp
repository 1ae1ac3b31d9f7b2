// trelvo-shots FOLDER: renders the main window and every box a run or Browse can show to PNG
// files in FOLDER, for checking the layout by eye and for the README. Each picture is one row of
// the table in main(); a window or box that a click brings up is captured as it appears.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "infowin/frmAbout_qt.h"
#include "infowin/frmLicAgmt_qt.h"
#include "mainwin/filedialog_qt.h"
#include "mainwin/frmtrelvo_qt.h"
#include "ui/qt/messagebox_qt.h"

using trelvo::qt::frmAbout;
using trelvo::qt::frmLicAgmt;
using trelvo::qt::frmTrelvo;

namespace {

// The offscreen platform draws no window frames, so each picture gets a plain title bar with the
// window's icon and title painted above its client area: the title is part of what is checked.
QImage withTitleBar(QWidget* window) {
    const QPixmap client = window->grab();
    constexpr int kBar = 24;
    QImage image(client.width(), client.height() + kBar, QImage::Format_ARGB32);
    image.fill(QColor(0x3c, 0x3f, 0x41));
    QPainter painter(&image);
    int x = 6;
    if (!window->windowIcon().isNull()) {
        painter.drawPixmap(x, 4, window->windowIcon().pixmap(16, 16));
        x += 22;
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(x, 0, image.width() - x, kBar), Qt::AlignVCenter | Qt::AlignLeft,
                     window->windowTitle());
    painter.drawPixmap(0, kBar, client);
    return image;
}

// Saves the first dialog that appears to the chosen file and dismisses it, and dismisses any
// that follow it (a cancelled file dialog is followed by its box, say).
class ModalCatcher : public QObject {
public:
    QString target;  // where the next dialog goes; empty: dismiss without saving
    QStringList saved;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && dialog && dialog->isWindow() &&
            !qobject_cast<frmTrelvo*>(dialog)) {
            const QString file = std::exchange(target, QString());
            QTimer::singleShot(0, dialog, [this, dialog, file] {
                if (!file.isEmpty() && withTitleBar(dialog).save(file)) {
                    saved << file;
                }
                dialog->done(QDialog::Rejected);
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

// One fresh main window per picture, with a folder of sample libraries beside it.
struct Scene {
    frmTrelvo window;
    QString dir;

    template <typename W>
    W* child(const char* name) {
        return window.findChild<W*>(QLatin1String(name));
    }
    void type(const char* box, const QString& text) { child<QLineEdit>(box)->setText(text); }
    void click(const char* name) { child<QAbstractButton>(name)->click(); }
    QString path(const QString& name) const { return dir + u'/' + name; }
    void files(const QString& in, const QString& out) {
        type("tbxFileOpen", path(in));
        type("tbxFileOut", path(out));
    }
    void browseAnswer(std::optional<QString> answer) {
        trelvo::qt::FileDialogs::setAnswerer(
            [answer](const trelvo::qt::OpenFileRequest&) { return answer; });
    }
};

void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(bytes);
    }
}

// The sample libraries the pictures are made with, from the test data folder.
QByteArray sample(const char* name) {
    QFile f(QStringLiteral(TRELVO_TEST_DATA "/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What one picture shows: act() brings the window into shape and returns it, or returns null
// after a click that brings up the window or box to be captured.
struct Shot {
    const char* file;
    std::function<QWidget*(Scene&)> act;
};

}  // namespace

// The offscreen platform warns about every window it cannot size by hints; that is expected here.
QtMessageHandler standardHandler = nullptr;

void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!message.contains(QLatin1String("propagateSizeHints"))) {
        standardHandler(type, context, message);
    }
}

int main(int argc, char* argv[]) {
    standardHandler = qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: trelvo-shots FOLDER\n");
        return 2;
    }
    const QDir out(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    QDir().mkpath(out.path());
    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/pcb-XXXXXX"));
    const QString dir = temp.path() + QStringLiteral("/libraries");
    QDir().mkpath(dir);
    QDir::setCurrent(dir);  // where the first Browse opens
    const QByteArray library = sample("all-on-layer-26.d");
    const QByteArray text = sample("not-a-library.d");
    const QByteArray badUnit = sample("bad-unit-letter.d");
    if (library.isEmpty() || text.isEmpty() || badUnit.isEmpty()) {
        std::fprintf(stderr, "trelvo-shots: the sample libraries in %s are missing\n",
                     TRELVO_TEST_DATA);
        return 1;
    }
    write(dir + QStringLiteral("/parts.d"), library);
    write(dir + QStringLiteral("/parts_new.d"), library);
    write(dir + QStringLiteral("/text.d"), text);
    write(dir + QStringLiteral("/badunit.d"), badUnit);

    const std::vector<Shot> shots = {
        {"main.png", [](Scene& s) { return &s.window; }},
        {"main-filled.png",
         [](Scene& s) {
             s.type("tbxFileOpen", QStringLiteral("/home/pat/pcb/parts.d"));
             s.type("tbxFileOut", QStringLiteral("/home/pat/pcb/parts_new.d"));
             s.type("tbxOldLyr", QStringLiteral("26"));
             s.click("chkEnWd");
             return &s.window;
         }},
        {"user-entry-error.png", [](Scene& s) { return s.click("btnRun"), nullptr; }},
        {"file-read-error.png",
         [](Scene& s) {
             return s.files("missing.d", "missing_new.d"), s.click("btnRun"), nullptr;
         }},
        {"selection-error.png",
         [](Scene& s) {
             s.files("parts.d", "out.d");
             s.click("chkEnLyr");
             return s.click("btnRun"), nullptr;
         }},
        {"file-format-error-signature.png",
         [](Scene& s) { return s.files("text.d", "out.d"), s.click("btnRun"), nullptr; }},
        {"file-format-error-unit.png",
         [](Scene& s) { return s.files("badunit.d", "out.d"), s.click("btnRun"), nullptr; }},
        {"file-write-error.png",
         [](Scene& s) {
             return s.files("parts.d", "no-such-folder/out.d"), s.click("btnRun"), nullptr;
         }},
        {"done.png",
         [](Scene& s) {
             s.files("parts.d", "parts_new.d");
             s.type("tbxOldLyr", QStringLiteral("26"));
             return s.click("btnRun"), nullptr;
         }},
        {"open-file-dialog.png",
         [](Scene& s) {
             trelvo::qt::FileDialogs::setAnswerer(nullptr);
             return s.click("btnFileOpen"), nullptr;
         }},
        {"no-file-selected.png",
         [](Scene& s) { return s.browseAnswer(std::nullopt), s.click("btnFileOpen"), nullptr; }},
        {"overwrite-file.png",
         [](Scene& s) {
             s.browseAnswer(s.path(QStringLiteral("parts.d")));
             return s.click("btnFileOpen"), nullptr;
         }},
        {"help.png", [](Scene& s) { return s.click("btnHelp"), nullptr; }},
        // Reached from the Help window; shown here over the main window, which looks the same.
        {"about.png", [](Scene& s) { return frmAbout::showModal(&s.window), nullptr; }},
        {"licence-agreement.png",
         [](Scene& s) { return frmLicAgmt::showModal(&s.window), nullptr; }},
        {"system-info-unavailable.png",
         [](Scene& s) {
             trelvo::qt::MessageBoxes::show(
                 &s.window, {"System Information Is Unavailable At This Time", "", trelvo::Icon::None});
             return nullptr;
         }},
    };

    ModalCatcher catcher;
    app.installEventFilter(&catcher);
    int failures = 0;
    for (const Shot& shot : shots) {
        const QString file = out.filePath(QLatin1String(shot.file));
        QFile::remove(file);
        auto scene = std::make_unique<Scene>();
        scene->dir = dir;
        scene->window.show();
        trelvo::qt::FileDialogs::setAnswerer(nullptr);
        catcher.target = file;
        if (QWidget* widget = shot.act(*scene)) {
            catcher.target.clear();
            if (withTitleBar(widget).save(file)) {
                catcher.saved << file;
            }
        }
        catcher.target.clear();
        if (!QFile::exists(file)) {
            std::fprintf(stderr, "trelvo-shots: nothing to capture for %s\n", shot.file);
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(file));
        }
    }
    return failures == 0 ? 0 : 1;
}
