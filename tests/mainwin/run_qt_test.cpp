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
    void oneRun_data();
    void oneRun();
    void blankEntriesCountAsFilledAndGoAsTyped();
    void runAfterFailedOpen();
    void selectionErrorClosesTheInputAgain();
    void twoRunsInARow();
    void realLibraries_data();
    void realLibraries();
    void busyCursor();
    void realBoxAppearsAndIsDismissed();
    void realWarningBox();
};

// One run from a fresh window: what the user does first (steps), the one box the run ends with
// and what is left in the folder. A step is a control to click ("chkEnWd"), an entry box and the
// text it is given ("tbxOldLyr=26"), or a folder to make first ("mkdir folder.d").
void RunTest::oneRun_data() {
    QTest::addColumn<QByteArray>("library");  // written to parts.d; empty: no parts.d
    QTest::addColumn<QString>("in");          // names in the window's folder; empty: none typed
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QByteArray>("before");  // the output file before the run; null: none
    QTest::addColumn<QString>("text");       // %1 is the output's path
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QByteArray>("written");  // the output file after the run; null: none
    QTest::addColumn<bool>("openErr");
    QTest::addColumn<int>("inChannel");
    QTest::addColumn<int>("outChannel");

    const QString entry = QStringLiteral("User entry error");
    const auto userEntry = [&](const char* row, const char* in, const char* out, bool widthOn,
                               const QString& retyped) {
        QStringList steps;
        if (widthOn) {
            steps << QStringLiteral("chkEnWd");
        }
        if (!retyped.isEmpty()) {
            steps << retyped;
        }
        QTest::newRow(row) << kParts << QString::fromLatin1(in) << QString::fromLatin1(out) << steps
                           << QByteArray() << kUserEntryText << entry << int(trelvo::Icon::Warning)
                           << QByteArray() << false << 0 << 0;
    };
    userEntry("input name empty", "", "out.d", false, {});
    userEntry("output name empty", "parts.d", "", false, {});
    userEntry("both names empty", "", "", false, {});
    userEntry("old layer empty", "parts.d", "out.d", false, QStringLiteral("tbxOldLyr="));
    userEntry("new layer empty", "parts.d", "out.d", false, QStringLiteral("tbxNewLyr="));
    userEntry("old width empty", "parts.d", "out.d", true, QStringLiteral("tbxOldWd="));
    userEntry("new width empty", "parts.d", "out.d", true, QStringLiteral("tbxNewWd="));
    userEntry("several at once", "", "", true, QStringLiteral("tbxNewWd="));
    // New values are written into the library: one that is no layer or width never gets there.
    userEntry("new layer 1:3", "parts.d", "out.d", false, QStringLiteral("tbxNewLyr=1:3"));
    userEntry("new layer -5", "parts.d", "out.d", false, QStringLiteral("tbxNewLyr=-5"));
    userEntry("new width -3", "parts.d", "out.d", true, QStringLiteral("tbxNewWd=-3"));
    userEntry("new width *", "parts.d", "out.d", true, QStringLiteral("tbxNewWd=*"));
    userEntry("new width 5in", "parts.d", "out.d", true, QStringLiteral("tbxNewWd=5in"));
    userEntry("new layer 251", "parts.d", "out.d", false, QStringLiteral("tbxNewLyr=251"));
    userEntry("new width 6.36mm", "parts.d", "out.d", true, QStringLiteral("tbxNewWd=6.36mm"));

    const auto doneAfter = [](int count) { return doneText(count, QStringLiteral("%1")); };
    const QString read = QStringLiteral("File read error");
    const QString format = QStringLiteral("File format error");
    const QString write = QStringLiteral("File write error");

    QTest::newRow("disabled pair may be empty")
        << kParts << "parts.d"
        << "out.d" << QStringList{"tbxOldLyr=26", "chkEnWd", "tbxOldWd=", "tbxNewWd=", "chkEnWd"}
        << QByteArray() << doneAfter(1) << "Done" << int(trelvo::Icon::Information)
        << kPartsLayer26To1 << false << 1 << 2;
    QTest::newRow("file read error: missing library")
        << QByteArray() << "missing.d"
        << "out.d" << QStringList() << QByteArray() << kFileReadText << read
        << int(trelvo::Icon::Warning) << QByteArray() << true << 1 << 0;
    // A folder is not a library either.
    QTest::newRow("file read error: folder")
        << QByteArray() << "folder.d"
        << "out.d" << QStringList{"mkdir folder.d"} << QByteArray() << kFileReadText << read
        << int(trelvo::Icon::Warning) << QByteArray() << true << 1 << 0;
    QTest::newRow("selection error")
        << kParts << "parts.d"
        << "out.d" << QStringList{"chkEnLyr"} << QByteArray() << kSelectionText << "Selection error"
        << int(trelvo::Icon::Warning) << QByteArray() << false << 1 << 0;
    // A failed run writes nothing.
    QTest::newRow("format error: signature")
        << QByteArray(kParts).replace("PADS", "pads") << "parts.d"
        << "out.d" << QStringList() << QByteArray() << kFormatText << format
        << int(trelvo::Icon::Error) << QByteArray() << false << 1 << 2;
    // An earlier output stays as it was.
    QTest::newRow("format error: unit letter")
        << QByteArray(kParts).replace("SOT23 M", "SOT23 m") << "parts.d"
        << "out.d" << QStringList{"tbxOldLyr=26"} << QByteArray("KEEP\r\n") << kFormatText << format
        << int(trelvo::Icon::Error) << QByteArray("KEEP\r\n") << false << 1 << 2;
    QTest::newRow("write error: missing folder")
        << kParts << "parts.d"
        << "no-such-folder/out.d" << QStringList() << QByteArray() << kWriteText << write
        << int(trelvo::Icon::Warning) << QByteArray() << false << 1 << 2;
    // Only one of the two widths in millimetres.
    QTest::newRow("write error: bad width")
        << kParts << "parts.d"
        << "out.d" << QStringList{"chkEnWd", "tbxOldWd=0.254mm", "tbxNewWd=5"} << QByteArray()
        << kWriteText << write << int(trelvo::Icon::Warning) << QByteArray() << false << 1 << 0;
    // The library itself is untouched.
    QTest::newRow("write error: output is input")
        << kParts << "parts.d"
        << "parts.d" << QStringList() << QByteArray() << kWriteText << write
        << int(trelvo::Icon::Warning) << kParts << false << 1 << 2;
    QTest::newRow("full run") << kParts << "parts.d"
                              << "parts_new.d" << QStringList{"tbxOldLyr=26"} << QByteArray()
                              << doneAfter(1) << "Done" << int(trelvo::Icon::Information)
                              << kPartsLayer26To1 << false << 1 << 2;
    // Width 10 to 5: the design values.
    QTest::newRow("full run, both pairs")
        << kParts << "parts.d"
        << "out.d" << QStringList{"tbxOldLyr=*", "tbxNewLyr=7", "chkEnWd"} << QByteArray()
        << doneAfter(2) << "Done" << int(trelvo::Icon::Information) << kPartsAnyLayerTo7Width10To5
        << false << 1 << 2;
}

void RunTest::oneRun() {
    QFETCH(QByteArray, library);
    QFETCH(QString, in);
    QFETCH(QString, out);
    QFETCH(QStringList, steps);
    QFETCH(QByteArray, before);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(int, icon);
    QFETCH(QByteArray, written);
    QFETCH(bool, openErr);
    QFETCH(int, inChannel);
    QFETCH(int, outChannel);

    BoxRecorder boxes;
    Fixture f;
    if (!library.isEmpty()) {
        QVERIFY(writeFile(f.path("parts.d"), library));
    }
    if (!before.isNull()) {
        QVERIFY(writeFile(f.path(out), before));
    }
    f.files(in.isEmpty() ? in : f.path(in), out.isEmpty() ? out : f.path(out));
    for (const QString& step : steps) {
        const qsizetype eq = step.indexOf(QLatin1Char('='));
        if (step.startsWith(QLatin1String("mkdir "))) {
            QVERIFY(QDir(f.dir.path()).mkdir(step.mid(6)));
        } else if (eq > 0) {
            retype(box(f.w, step.left(eq).toLatin1().constData()), step.mid(eq + 1));
        } else {
            f.click(step.toLatin1().constData());
        }
    }
    QStringList entries;
    for (const char* name : {"tbxOldLyr", "tbxNewLyr", "tbxOldWd", "tbxNewWd"}) {
        entries << box(f.w, name)->text();
    }
    f.run();

    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkBox(boxes.boxes[0], text.contains(QLatin1String("%1")) ? text.arg(f.path(out)) : text,
             title, trelvo::Icon(icon), &f.w);
    if (written.isNull()) {
        QVERIFY(!QFile::exists(f.path(out.isEmpty() ? QStringLiteral("out.d") : out)));
    } else {
        QCOMPARE(readFile(f.path(out)), written);
    }
    if (!library.isEmpty()) {
        QCOMPARE(readFile(f.path("parts.d")), library);
    }
    // Nothing else is left in the folder, no temporary file either.
    QStringList expectedFiles;
    if (!library.isEmpty()) {
        expectedFiles << QStringLiteral("parts.d");
    }
    if (!written.isNull() && !expectedFiles.contains(out)) {
        expectedFiles << out;
    }
    expectedFiles.sort();
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expectedFiles);
    QCOMPARE(f.w.state().OpenErr, openErr);
    QCOMPARE(f.w.state().InFileNum, int16_t(inChannel));
    QCOMPARE(f.w.state().OutFileNum, int16_t(outChannel));
    // A run changes no entry, name or flag.
    QStringList after;
    for (const char* name : {"tbxOldLyr", "tbxNewLyr", "tbxOldWd", "tbxNewWd"}) {
        after << box(f.w, name)->text();
    }
    QCOMPARE(after, entries);
    QCOMPARE(qs(f.w.state().InFileName), box(f.w, "tbxFileOpen")->text());
    QCOMPARE(qs(f.w.state().OutFileName), box(f.w, "tbxFileOut")->text());
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

// The input was closed again: the next run gets the same channel.
void RunTest::selectionErrorClosesTheInputAgain() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), kParts));
    f.files(f.path("parts.d"), f.path("out.d"));
    f.click("chkEnLyr");
    QCOMPARE(f.w.state().EnLyr, false);
    QCOMPARE(f.w.state().EnWd, false);
    f.run();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    const int16_t channel = f.w.state().InFileNum;
    QVERIFY(channel > 0);
    f.run();
    QCOMPARE(f.w.state().InFileNum, channel);
    QCOMPARE(boxes.boxes.size(), std::size_t(2));
    QCOMPARE(boxes.boxes[1].title, QStringLiteral("Selection error"));
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
    // The published libraries are kept beside the checkout, not in it; without them there is
    // nothing to compare.
    if (!folder.exists()) {
        QSKIP(qPrintable(QStringLiteral("no folder of real libraries at %1 (TRELVO_REAL_LIBRARIES)")
                             .arg(folder.path())));
    }
    const QStringList names = folder.entryList({QStringLiteral("*.d")}, QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        QSKIP(qPrintable(QStringLiteral("no real libraries (*.d) in %1").arg(folder.path())));
    }
    for (const QString& name : names) {
        QTest::newRow(qPrintable(name)) << folder.filePath(name);
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
