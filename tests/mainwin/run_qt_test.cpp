// Run, as the user starts it: the entry check, opening the input, the update pass and its boxes,
// the files it leaves behind, runs in a row, the busy cursor, and the real message box.
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "mainwin/busycursor_qt.h"
#include "support_qt.h"

using namespace testing_support;

namespace {

// The sample libraries, read from the test data folder.
QByteArray sample(const char* name) {
    const QByteArray bytes = readFile(QStringLiteral(TRELVO_TEST_DATA "/") + QLatin1String(name));
    if (bytes.isEmpty()) {
        qFatal("sample library %s is missing", name);
    }
    return bytes;
}

// A small library with CR LF line ends: a mils decal with an OPEN and a CLOSED piece on layer
// 26, and a millimetre decal with one piece on layer 20.
const QByteArray kParts = sample("outlines.d");
// The same with layer 26 changed to 1 (the width pair off).
const QByteArray kPartsLayer26To1 = sample("outlines-layer-26-to-1.d");
// Both pairs on: any layer to 7 and width 10 mils to 5 mils (0.127 mm on the millimetre decal).
const QByteArray kPartsAnyLayerTo7Width10To5 = sample("outlines-any-layer-to-7-width-10-to-5.d");

const QString kUserEntryText =
    QStringLiteral("Invalid or empty entry boxes -please enter values for processing.");
const QString kFileReadText =
    QStringLiteral("Filename error -please check dir and filename and retry.");
const QString kSelectionText =
    QStringLiteral("No options selected to process -select Layer and/or Width.");
const QString kFormatText = QStringLiteral("Error in Decal Lib (*.d) format...exiting.");
const QString kWriteText = QStringLiteral("Error: File I/O or User Entry -Processing incomplete!");

QString doneText(int count, const QString& out) {
    return QStringLiteral(
               "Processing complete.\r%1 Decal(s) updated.\rUpdated decal file "
               "written to: %2")
        .arg(count)
        .arg(out);
}

void checkBox(const ShownBox& shown, const QString& text, const QString& title, trelvo::Icon icon,
              const QWidget* window) {
    QCOMPARE(shown.text, text);
    QCOMPARE(shown.title, title);
    QCOMPARE(int(shown.icon), int(icon));
    QCOMPARE(shown.parent, window);
    QVERIFY2(!shown.busyCursor, "the busy cursor hangs over the box");
}

// One window with a folder of files beside it.
struct Fixture {
    QTemporaryDir dir;
    frmTrelvo w;

    Fixture() { w.show(); }
    QString path(const QString& name) const { return dir.filePath(name); }
    void files(const QString& in, const QString& out) {
        retype(box(w, "tbxFileOpen"), in);
        retype(box(w, "tbxFileOut"), out);
    }
    void click(const char* name) {
        QTest::mouseClick(control<QAbstractButton>(w, name), Qt::LeftButton);
    }
    void run() { click("btnRun"); }
};

}  // namespace

class RunTest : public QObject {
    Q_OBJECT

private slots:
    void userEntryError_data();
    void userEntryError();
    void blankEntriesCountAsFilledAndGoAsTyped();
    void disabledPairMayBeEmpty();
    void fileReadError();
    void runAfterFailedOpen();
    void selectionError();
    void formatErrorSignature();
    void formatErrorUnitLetter();
    void writeErrorMissingFolder();
    void writeErrorBadWidth();
    void writeErrorOutputIsInput();
    void fullRun();
    void fullRunBothPairs();
    void twoRunsInARow();
    void realLibraries_data();
    void realLibraries();
    void busyCursor();
    void realBoxAppearsAndIsDismissed();
    void realWarningBox();
};

void RunTest::userEntryError_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::addColumn<bool>("widthOn");
    QTest::addColumn<QString>("emptied");  // an entry box to retype, or none
    QTest::addColumn<QString>("typed");    // what it gets: nothing, or a value that is no value

    QTest::newRow("input name empty") << ""
                                      << "out.d" << false << "" << "";
    QTest::newRow("output name empty") << "parts.d"
                                       << "" << false << "" << "";
    QTest::newRow("both names empty") << ""
                                      << "" << false << "" << "";
    QTest::newRow("old layer empty") << "parts.d"
                                     << "out.d" << false << "tbxOldLyr" << "";
    QTest::newRow("new layer empty") << "parts.d"
                                     << "out.d" << false << "tbxNewLyr" << "";
    QTest::newRow("old width empty") << "parts.d"
                                     << "out.d" << true << "tbxOldWd" << "";
    QTest::newRow("new width empty") << "parts.d"
                                     << "out.d" << true << "tbxNewWd" << "";
    QTest::newRow("several at once") << ""
                                     << "" << true << "tbxNewWd" << "";
    // New values are written into the library: one that is no layer or width never gets there.
    QTest::newRow("new layer 1:3") << "parts.d" << "out.d" << false << "tbxNewLyr" << "1:3";
    QTest::newRow("new layer -5") << "parts.d" << "out.d" << false << "tbxNewLyr" << "-5";
    QTest::newRow("new width -3") << "parts.d" << "out.d" << true << "tbxNewWd" << "-3";
    QTest::newRow("new width *") << "parts.d" << "out.d" << true << "tbxNewWd" << "*";
    QTest::newRow("new width 5in") << "parts.d" << "out.d" << true << "tbxNewWd" << "5in";
}

void RunTest::userEntryError() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QFETCH(bool, widthOn);
    QFETCH(QString, emptied);
    QFETCH(QString, typed);

    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(in.isEmpty() ? in : f.path(in), out.isEmpty() ? out : f.path(out));
    if (widthOn) {
        f.click("chkEnWd");
    }
    if (!emptied.isEmpty()) {
        retype(box(f.w, emptied.toLatin1().constData()), typed);
    }
    f.run();

    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], kUserEntryText, QStringLiteral("User entry error"),
             trelvo::Icon::Warning, &f.w);
    QCOMPARE(f.w.state().InFileNum, int16_t(0));  // nothing was opened
    QCOMPARE(f.w.state().OutFileNum, int16_t(0));
    QVERIFY(!QFile::exists(f.path("out.d")));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void RunTest::blankEntriesCountAsFilledAndGoAsTyped() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("out.d"));
    retype(box(f.w, "tbxOldLyr"), QStringLiteral(" "));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], doneText(0, f.path("out.d")), QStringLiteral("Done"),
             trelvo::Icon::Information, &f.w);
    QCOMPARE(readFile(f.path("out.d")), kParts);

    // Not trimmed: " 26" is not layer 26.
    retype(box(f.w, "tbxOldLyr"), QStringLiteral(" 26"));
    f.run();
    QCOMPARE(boxes.boxes.back().text, doneText(0, f.path("out.d")));
    QCOMPARE(readFile(f.path("out.d")), kParts);
}

void RunTest::disabledPairMayBeEmpty() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("out.d"));
    retype(box(f.w, "tbxOldLyr"), QStringLiteral("26"));
    f.click("chkEnWd");
    retype(box(f.w, "tbxOldWd"), QString());
    retype(box(f.w, "tbxNewWd"), QString());
    f.click("chkEnWd");
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], doneText(1, f.path("out.d")), QStringLiteral("Done"),
             trelvo::Icon::Information, &f.w);
    QCOMPARE(readFile(f.path("out.d")), kPartsLayer26To1);
}

void RunTest::fileReadError() {
    BoxRecorder boxes;
    Fixture f;
    f.files(f.path("missing.d"), f.path("out.d"));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], kFileReadText, QStringLiteral("File read error"),
             trelvo::Icon::Warning, &f.w);
    QCOMPARE(f.w.state().OpenErr, true);
    QVERIFY(!QFile::exists(f.path("out.d")));

    // A folder is not a library either.
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("folder.d")));
    f.files(f.path("folder.d"), f.path("out.d"));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(2));
    QCOMPARE(boxes.boxes[1].title, QStringLiteral("File read error"));
    QVERIFY(!QFile::exists(f.path("out.d")));
}

void RunTest::runAfterFailedOpen() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("prats.d"), f.path("out.d"));
    retype(box(f.w, "tbxOldLyr"), QStringLiteral("26"));
    f.run();
    QCOMPARE(f.w.state().OpenErr, true);

    retype(box(f.w, "tbxFileOpen"), f.path("parts.d"));
    f.run();
    QCOMPARE(f.w.state().OpenErr, false);
    QCOMPARE(boxes.boxes.size(), std::size_t(2));
    checkBox(boxes.boxes[1], doneText(1, f.path("out.d")), QStringLiteral("Done"),
             trelvo::Icon::Information, &f.w);
    QCOMPARE(readFile(f.path("out.d")), kPartsLayer26To1);
}

void RunTest::selectionError() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("out.d"));
    f.click("chkEnLyr");
    QCOMPARE(f.w.state().EnLyr, false);
    QCOMPARE(f.w.state().EnWd, false);
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], kSelectionText, QStringLiteral("Selection error"),
             trelvo::Icon::Warning, &f.w);
    QVERIFY(!QFile::exists(f.path("out.d")));

    // The input was closed again: the next run gets the same channel.
    const int16_t channel = f.w.state().InFileNum;
    QVERIFY(channel > 0);
    f.run();
    QCOMPARE(f.w.state().InFileNum, channel);
    QCOMPARE(boxes.boxes.size(), std::size_t(2));
    QCOMPARE(boxes.boxes[1].title, QStringLiteral("Selection error"));
}

void RunTest::formatErrorSignature() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), QByteArray(kParts).replace("PADS", "pads")));
    f.files(f.path("parts.d"), f.path("out.d"));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], kFormatText, QStringLiteral("File format error"), trelvo::Icon::Error,
             &f.w);
    QVERIFY(!QFile::exists(f.path("out.d")));  // a failed run writes nothing
}

void RunTest::formatErrorUnitLetter() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), QByteArray(kParts).replace("SOT23 M", "SOT23 m")));
    QVERIFY(writeFile(f.path("out.d"), "KEEP\r\n"));  // an earlier output stays as it was
    f.files(f.path("parts.d"), f.path("out.d"));
    retype(box(f.w, "tbxOldLyr"), QStringLiteral("26"));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], kFormatText, QStringLiteral("File format error"), trelvo::Icon::Error,
             &f.w);
    QCOMPARE(readFile(f.path("out.d")), QByteArray("KEEP\r\n"));
    QCOMPARE(QDir(f.path(".")).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void RunTest::writeErrorMissingFolder() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("no-such-folder/out.d"));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], kWriteText, QStringLiteral("File write error"), trelvo::Icon::Warning,
             &f.w);
    QVERIFY(!QFile::exists(f.path("no-such-folder/out.d")));
    QCOMPARE(readFile(f.path("parts.d")), kParts);
}

void RunTest::writeErrorBadWidth() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("out.d"));
    f.click("chkEnWd");
    retype(box(f.w, "tbxOldWd"), QStringLiteral("0.254mm"));
    retype(box(f.w, "tbxNewWd"), QStringLiteral("5"));  // only one of the two in millimetres
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], kWriteText, QStringLiteral("File write error"), trelvo::Icon::Warning,
             &f.w);
    QVERIFY(!QFile::exists(f.path("out.d")));
}

void RunTest::writeErrorOutputIsInput() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("parts.d"));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("File write error"));
    QCOMPARE(readFile(f.path("parts.d")), kParts);  // the library itself is untouched
}

void RunTest::fullRun() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("parts_new.d"));
    retype(box(f.w, "tbxOldLyr"), QStringLiteral("26"));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], doneText(1, f.path("parts_new.d")), QStringLiteral("Done"),
             trelvo::Icon::Information, &f.w);
    QCOMPARE(readFile(f.path("parts_new.d")), kPartsLayer26To1);
    QCOMPARE(readFile(f.path("parts.d")), kParts);
    QCOMPARE(f.w.state().InFileNum, int16_t(1));
    QCOMPARE(f.w.state().OutFileNum, int16_t(2));
    // A run changes no entry, name or flag.
    QCOMPARE(box(f.w, "tbxOldLyr")->text(), QStringLiteral("26"));
    QCOMPARE(qs(f.w.state().OutFileName), f.path("parts_new.d"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void RunTest::fullRunBothPairs() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("out.d"));
    retype(box(f.w, "tbxOldLyr"), QStringLiteral("*"));
    retype(box(f.w, "tbxNewLyr"), QStringLiteral("7"));
    f.click("chkEnWd");
    f.run();  // width 10 to 5, the design values
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], doneText(2, f.path("out.d")), QStringLiteral("Done"),
             trelvo::Icon::Information, &f.w);
    QCOMPARE(readFile(f.path("out.d")), kPartsAnyLayerTo7Width10To5);
}

void RunTest::twoRunsInARow() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("out.d"));
    retype(box(f.w, "tbxOldLyr"), QStringLiteral("26"));
    f.run();
    QCOMPARE(readFile(f.path("out.d")), kPartsLayer26To1);
    QVERIFY(writeFile(f.path("out.d"), QByteArray(20000, 'x')));  // longer than a run's output
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(2));
    for (const ShownBox& shown : boxes.boxes) {
        checkBox(shown, doneText(1, f.path("out.d")), QStringLiteral("Done"),
                 trelvo::Icon::Information, &f.w);
    }
    QCOMPARE(readFile(f.path("out.d")), kPartsLayer26To1);
    QCOMPARE(f.w.state().InFileNum, int16_t(1));  // both files of the first run were closed
    QCOMPARE(f.w.state().OutFileNum, int16_t(2));
}

void RunTest::realLibraries_data() {
    QTest::addColumn<QString>("library");
    const QDir folder(QStringLiteral(TRELVO_REAL_LIBRARIES));
    const QStringList names = folder.entryList({QStringLiteral("*.d")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QTest::newRow(qPrintable(name)) << folder.filePath(name);
    }
    if (names.isEmpty()) {
        QSKIP("no real libraries beside the checkout");
    }
}

// Layer 26 to 1 on a published library, checked against a rewrite done here line by line.
void RunTest::realLibraries() {
    QFETCH(QString, library);
    const QByteArray input = readFile(library);
    QVERIFY(!input.isEmpty());

    QByteArray expected;
    int decals = 0;
    bool afterBlank = false;
    bool headerSeen = false;
    QList<QByteArray> lines = input.split('\n');
    if (lines.last().isEmpty()) {
        lines.removeLast();
    }
    QByteArray previous;
    int lineNumber = 0;
    for (QByteArray line : lines) {
        ++lineNumber;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        // A decal header: 11 fields after an empty line, or before a TIMESTAMP line.
        if (afterBlank) {
            headerSeen = headerSeen || line.simplified().split(' ').size() == 11;
            afterBlank = false;
        }
        if (line.startsWith("TIMESTAMP") && previous.simplified().split(' ').size() == 11 &&
            lineNumber > 2) {
            headerSeen = true;
        }
        previous = line;
        if (line.isEmpty()) {
            afterBlank = true;
        }
        const QList<QByteArray> fields = line.trimmed().split(' ');
        QList<QByteArray> pieceFields;
        for (const QByteArray& field : fields) {
            if (!field.isEmpty()) {
                pieceFields << field;
            }
        }
        const QByteArray key = line.left(4);
        if ((key == "OPEN" || key == "CLOS" || key == "CIRC") && pieceFields.size() == 5 &&
            pieceFields[4] == "-1" && pieceFields[3] == "26") {
            pieceFields[3] = "1";
            line = pieceFields.join("  ");
            if (headerSeen) {
                ++decals;
                headerSeen = false;
            }
        }
        expected += line + "\r\n";
    }

    BoxRecorder boxes;
    Fixture f;
    f.files(library, f.path("out.d"));
    retype(box(f.w, "tbxOldLyr"), QStringLiteral("26"));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], doneText(decals, f.path("out.d")), QStringLiteral("Done"),
             trelvo::Icon::Information, &f.w);
    QCOMPARE(readFile(f.path("out.d")), expected);
}

void RunTest::busyCursor() {
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    {
        trelvo::qt::BusyCursor busy;
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // The boxes of every kind of run come without it, and it is gone after the run.
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.run();
    f.files(f.path("missing.d"), f.path("out.d"));
    f.run();
    f.files(f.path("parts.d"), f.path("out.d"));
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(3));
    for (const ShownBox& shown : boxes.boxes) {
        QVERIFY(!shown.busyCursor);
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// What the real box showed, read while it is up, before it is dismissed with OK.
struct SeenBox {
    bool seen = false;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = nullptr;
    bool modal = false;
    int buttons = 0;
    bool okOnly = false;
    bool busyCursor = true;
};

void dismissNextBox(SeenBox& seen, bool byKeyboard) {
    QTimer::singleShot(0, qApp, [&seen, byKeyboard] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        seen.seen = true;
        seen.text = box->text();
        seen.title = box->windowTitle();
        seen.icon = box->icon();
        seen.parent = box->parentWidget();
        seen.modal = box->isModal();
        seen.buttons = int(box->buttons().size());
        seen.okOnly = box->standardButtons() == QMessageBox::Ok;
        seen.busyCursor = QApplication::overrideCursor() != nullptr;
        if (byKeyboard) {
            QTest::keyClick(box, Qt::Key_Return);
        } else {
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        }
    });
}

void RunTest::realBoxAppearsAndIsDismissed() {
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("parts_new.d"));
    retype(box(f.w, "tbxOldLyr"), QStringLiteral("26"));

    SeenBox seen;
    dismissNextBox(seen, false);
    f.run();  // returns once the box is dismissed
    QVERIFY(seen.seen);
    QCOMPARE(seen.text, QStringLiteral("Processing complete.\n1 Decal(s) updated.\nUpdated decal "
                                       "file written to: %1")
                            .arg(f.path("parts_new.d")));
    QCOMPARE(seen.title, QStringLiteral("Done"));
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(seen.parent, &f.w);
    QVERIFY(seen.modal);
    QCOMPARE(seen.buttons, 1);
    QVERIFY(seen.okOnly);
    QVERIFY(!seen.busyCursor);
    QCOMPARE(readFile(f.path("parts_new.d")), kPartsLayer26To1);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void RunTest::realWarningBox() {
    Fixture f;
    SeenBox seen;
    dismissNextBox(seen, true);
    f.run();
    QVERIFY(seen.seen);
    QCOMPARE(seen.text, kUserEntryText);
    QCOMPARE(seen.title, QStringLiteral("User entry error"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QVERIFY(seen.okOnly);
    QVERIFY(!seen.busyCursor);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(RunTest)
#include "run_qt_test.moc"
