// The main window when the output cannot be written: the run ends with the one "File write error"
// box, the input is left as it was, and the window stays ready for a corrected run.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

#include "engine/messages.h"
#include "mainwin/frmtrelvo_qt.h"
#include "ui/qt/messagebox_qt.h"

using trelvo::qt::frmTrelvo;

namespace {

struct Box {
    QString text, title;
    trelvo::Icon icon;
};

// Records the boxes instead of showing them, for as long as it lives.
class Recorder {
public:
    Recorder() {
        trelvo::qt::MessageBoxes::setRecorder([this](QWidget*, const trelvo::Report& r) {
            boxes.push_back(
                {QString::fromStdString(r.text), QString::fromStdString(r.title), r.icon});
        });
    }
    ~Recorder() { trelvo::qt::MessageBoxes::setRecorder(nullptr); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    std::vector<Box> boxes;
};

template <typename W>
W* control(const QWidget& window, const char* name) {
    W* w = window.findChild<W*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

void retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
}

// One decal with one piece on layer 26, under a signature line without its closing star.
const QByteArray kLib = readAll(QStringLiteral(TRELVO_TEST_DATA "/unstarred-signature.d"));
const QByteArray kLibOut =
    "*PADS-LIBRARY-PCB-DECALS-V9\r\n\r\nDIP14 I 0 0 0 0 3 2 0 1 0\r\nOPEN  2  10  1  -1\r\n"
    "0 0\r\n";

const QString kWriteText = QString::fromUtf8(trelvo::messages::kWriteText.data(),
                                             qsizetype(trelvo::messages::kWriteText.size()));
const QString kWriteTitle = QString::fromUtf8(trelvo::messages::kWriteTitle.data(),
                                              qsizetype(trelvo::messages::kWriteTitle.size()));

// Fills the window for a run of layer 26 -> 1 from input to output.
void fill(frmTrelvo& w, const QString& input, const QString& output) {
    auto* enLyr = control<QCheckBox>(w, "chkEnLyr");
    if (!enLyr->isChecked())
        QTest::mouseClick(enLyr, Qt::LeftButton);
    retype(control<QLineEdit>(w, "tbxFileOpen"), input);
    retype(control<QLineEdit>(w, "tbxFileOut"), output);
    retype(control<QLineEdit>(w, "tbxOldLyr"), QStringLiteral("26"));
    retype(control<QLineEdit>(w, "tbxNewLyr"), QStringLiteral("1"));
}

void clickRun(frmTrelvo& w) {
    QTest::mouseClick(control<QPushButton>(w, "btnRun"), Qt::LeftButton);
}

}  // namespace

class GuiFaultTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void writeErrorThenCorrectedRun_data();
    void writeErrorThenCorrectedRun();
    void realBoxIsShownAndDismissed();

private:
    QTemporaryDir dir_;
    QString input_;
};

void GuiFaultTest::init() {
    QVERIFY(dir_.isValid());
    input_ = dir_.filePath(QStringLiteral("lib.d"));
    QFile f(input_);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(kLib), kLib.size());
}

void GuiFaultTest::writeErrorThenCorrectedRun_data() {
    QTest::addColumn<QString>("badOutput");
    QTest::newRow("missing folder") << QStringLiteral("missing/lib_new.d");
    QTest::newRow("a folder") << QStringLiteral("folder");
    QTest::newRow("the input itself") << QStringLiteral("lib.d");
    QTest::newRow("a link to the input") << QStringLiteral("link.d");
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        QTest::newRow("full disk") << QStringLiteral("/dev/full");
    }
}

void GuiFaultTest::writeErrorThenCorrectedRun() {
    QFETCH(QString, badOutput);
    QDir(dir_.path()).mkpath(QStringLiteral("folder"));
    QFile::link(input_, dir_.filePath(QStringLiteral("link.d")));
    const QString bad =
        badOutput.startsWith(QLatin1Char('/')) ? badOutput : dir_.filePath(badOutput);

    Recorder rec;
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    fill(w, input_, bad);
    clickRun(w);

    QCOMPARE(rec.boxes.size(), std::size_t{1});
    QCOMPARE(rec.boxes[0].text, kWriteText);
    QCOMPARE(rec.boxes[0].title, kWriteTitle);
    QCOMPARE(rec.boxes[0].icon, trelvo::Icon::Warning);
    QCOMPARE(readAll(input_), kLib);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(w.isVisible());
    QVERIFY(control<QPushButton>(w, "btnRun")->isEnabled());

    // Correct the output name only and run again: everything else stayed as the user left it.
    const QString good = dir_.filePath(QStringLiteral("lib_new.d"));
    retype(control<QLineEdit>(w, "tbxFileOut"), good);
    clickRun(w);
    QCOMPARE(rec.boxes.size(), std::size_t{2});
    QCOMPARE(rec.boxes[1].title, QStringLiteral("Done"));
    QCOMPARE(rec.boxes[1].text,
             QString::fromStdString(trelvo::messages::done(1, good.toStdString()).text));
    QCOMPARE(readAll(good), kLibOut);
    QCOMPARE(readAll(input_), kLib);
    QFile::remove(good);
}

void GuiFaultTest::realBoxIsShownAndDismissed() {
    const QString bad = dir_.filePath(QStringLiteral("missing/lib_new.d"));
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    fill(w, input_, bad);

    // The box is modal: answer it from inside its own event loop, as soon as it is up.
    QString shownText, shownTitle;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    int attempts = 0;
    std::function<void()> answer = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (++attempts < 1000)
                QTimer::singleShot(0, answer);
            return;
        }
        shownText = box->text();
        shownTitle = box->windowTitle();
        shownIcon = box->icon();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    };
    QTimer::singleShot(0, answer);
    clickRun(w);

    QCOMPARE(shownText, kWriteText);
    QCOMPARE(shownTitle, kWriteTitle);
    QCOMPARE(shownIcon, QMessageBox::Warning);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(readAll(input_), kLib);

    Recorder rec;
    const QString good = dir_.filePath(QStringLiteral("lib_new.d"));
    retype(control<QLineEdit>(w, "tbxFileOut"), good);
    clickRun(w);
    QCOMPARE(rec.boxes.size(), std::size_t{1});
    QCOMPARE(rec.boxes[0].title, QStringLiteral("Done"));
    QCOMPARE(readAll(good), kLibOut);
}

QTEST_MAIN(GuiFaultTest)
#include "gui_fault_test.moc"
