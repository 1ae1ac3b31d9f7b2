// Browse, as the user uses it: the file-open dialog it asks, the input and output names it fills
// in, the overwrite warning, a cancelled dialog, and the real dialog on the screen.
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "support_qt.h"

using namespace testing_support;

namespace {

const QString kOverwriteText = QStringLiteral(
    "New filename exists and will be OVERWRITTEN -\rChange filename to prevent overwrite.");

struct Fixture {
    QTemporaryDir dir;
    frmTrelvo w;

    Fixture() { w.show(); }
    QString path(const QString& name) const { return dir.filePath(name); }
    void browse() { QTest::mouseClick(control<QPushButton>(w, "btnFileOpen"), Qt::LeftButton); }
    QString in() const { return box(w, "tbxFileOpen")->text(); }
    QString out() const { return box(w, "tbxFileOut")->text(); }
    // The state follows the boxes.
    bool inStep() const {
        return qs(w.state().InFileName) == in() && qs(w.state().OutFileName) == out();
    }
};

void checkNoFileSelected(const ShownBox& shown, const QWidget* window) {
    QCOMPARE(shown.text, QStringLiteral("No file selected"));
    QCOMPARE(shown.title, QStringLiteral("File select error"));
    QCOMPARE(int(shown.icon), int(trelvo::Icon::Warning));
    QCOMPARE(shown.parent, window);
}

}  // namespace

class BrowseTest : public QObject {
    Q_OBJECT

private slots:
    void asksForADecalFile();
    void cancelChangesNothing();
    void choiceFillsBothNames_data();
    void choiceFillsBothNames();
    void otherEndingKeepsOutput();
    void blanksAroundThePathAreRemoved();
    void existingOutputIsWarnedAbout();
    void existingHiddenOutputIsWarnedAbout();
    void folderOfThatNameIsNoOverwrite();
    void nextBrowseStartsAtTheLastChoice();
    void longPathIsAccepted();
    void missingFileIsFoundOutByRun();
    void typingAfterBrowseWins();
    void realDialog();
};

void BrowseTest::asksForADecalFile() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    f.browse();
    QCOMPARE(answers.requests.size(), std::size_t(1));
    const trelvo::qt::OpenFileRequest& r = answers.requests[0];
    QCOMPARE(r.owner, &f.w);
    QCOMPARE(r.title, QStringLiteral("Open Exported Decal File"));
    QCOMPARE(r.filters,
             QStringList({QStringLiteral("Decal Files (*.d)"), QStringLiteral("All Files (*.*)")}));
    QCOMPARE(r.filterIndex, 0);
    QCOMPARE(r.fileName, QString());  // the first Browse opens in the default folder
}

void BrowseTest::cancelChangesNothing() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    retype(box(f.w, "tbxFileOpen"), QStringLiteral("/typed/in.d"));
    retype(box(f.w, "tbxFileOut"), QStringLiteral("/typed/out.d"));
    answers.answers.push_back(std::nullopt);
    f.browse();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkNoFileSelected(boxes.boxes[0], &f.w);
    QCOMPARE(f.in(), QStringLiteral("/typed/in.d"));
    QCOMPARE(f.out(), QStringLiteral("/typed/out.d"));
    QVERIFY(f.inStep());
}

void BrowseTest::choiceFillsBothNames_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("derived");
    QTest::newRow("parts.d") << "parts.d"
                             << "parts_new.d";
    QTest::newRow("parts.D") << "parts.D"
                             << "parts_new.d";
    QTest::newRow("parts.x") << "parts.x"
                             << "parts_new.d";
    QTest::newRow("two dots") << "lib.v2.d"
                              << "lib.v2_new.d";
    QTest::newRow("non-ASCII") << QStringLiteral("Bauteile_\u00fc.d")
                               << QStringLiteral("Bauteile_\u00fc_new.d");
}

void BrowseTest::choiceFillsBothNames() {
    QFETCH(QString, chosen);
    QFETCH(QString, derived);
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    answers.answers.push_back(f.path(chosen));
    f.browse();
    QCOMPARE(f.in(), f.path(chosen));
    QCOMPARE(f.out(), f.path(derived));
    QVERIFY(f.inStep());
    QVERIFY(boxes.boxes.empty());             // nothing of that name exists
    QVERIFY(!QFile::exists(f.path(chosen)));  // Browse creates nothing
    QVERIFY(!QFile::exists(f.path(derived)));
}

void BrowseTest::otherEndingKeepsOutput() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    answers.answers = {f.path("first.d"), f.path("parts.txt")};
    f.browse();
    QCOMPARE(f.out(), f.path("first_new.d"));
    f.browse();
    QCOMPARE(f.in(), f.path("parts.txt"));
    QCOMPARE(f.out(), f.path("first_new.d"));  // from the earlier choice
    QVERIFY(f.inStep());

    retype(box(f.w, "tbxFileOut"), QStringLiteral("/typed/out.d"));
    answers.answers = {f.path("README")};
    f.browse();
    QCOMPARE(f.in(), f.path("README"));
    QCOMPARE(f.out(), QStringLiteral("/typed/out.d"));
    QVERIFY(f.inStep());
    QVERIFY(boxes.boxes.empty());
}

void BrowseTest::blanksAroundThePathAreRemoved() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    answers.answers.push_back(QStringLiteral("  ") + f.path("parts.d") + QStringLiteral("   "));
    f.browse();
    QCOMPARE(f.in(), f.path("parts.d"));
    QCOMPARE(f.out(), f.path("parts_new.d"));
    QVERIFY(f.inStep());
}

void BrowseTest::existingOutputIsWarnedAbout() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    QVERIFY(writeFile(f.path("parts_new.d"), "old output\r\n"));
    answers.answers.push_back(f.path("parts.d"));
    f.browse();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].text, kOverwriteText);
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("Overwrite File?"));
    QCOMPARE(int(boxes.boxes[0].icon), int(trelvo::Icon::Warning));
    QCOMPARE(boxes.boxes[0].parent, &f.w);
    QCOMPARE(f.out(), f.path("parts_new.d"));  // the name stays as derived
    QVERIFY(f.inStep());
    QCOMPARE(readFile(f.path("parts_new.d")), QByteArray("old output\r\n"));  // only a warning

    // No rule, no warning, even though parts_new.d is still there.
    answers.answers.push_back(f.path("parts.txt"));
    f.browse();
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
}

// A run would empty a hidden file just the same, so it is warned about too.
void BrowseTest::existingHiddenOutputIsWarnedAbout() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    QVERIFY(writeFile(f.path(".scratch_new.d"), "keep me\r\n"));
    answers.answers.push_back(f.path(".scratch.d"));
    f.browse();
    QCOMPARE(f.out(), f.path(".scratch_new.d"));
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("Overwrite File?"));
}

void BrowseTest::folderOfThatNameIsNoOverwrite() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("parts_new.d")));
    answers.answers.push_back(f.path("parts.d"));
    f.browse();
    QCOMPARE(f.out(), f.path("parts_new.d"));
    QVERIFY(boxes.boxes.empty());
}

void BrowseTest::nextBrowseStartsAtTheLastChoice() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    answers.answers = {f.path("parts.d"), std::nullopt, f.path("other.d")};
    f.browse();
    f.browse();  // cancelled
    f.browse();
    QCOMPARE(answers.requests.size(), std::size_t(3));
    QCOMPARE(answers.requests[0].fileName, QString());
    QCOMPARE(answers.requests[1].fileName, f.path("parts.d"));
    QCOMPARE(answers.requests[2].fileName, f.path("parts.d"));
    QCOMPARE(f.w.openDialogRequest().fileName, f.path("other.d"));
    for (const trelvo::qt::OpenFileRequest& r : answers.requests) {
        QCOMPARE(r.title, QStringLiteral("Open Exported Decal File"));
        QCOMPARE(r.filterIndex, 0);
    }
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkNoFileSelected(boxes.boxes[0], &f.w);
    QCOMPARE(f.in(), f.path("other.d"));
}

void BrowseTest::longPathIsAccepted() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    const QString deep = f.path(QString(120, u'a') + u'/' + QString(120, u'b') + u'/' +
                                QString(60, u'c') + QStringLiteral(".d"));
    QVERIFY(deep.size() > 300);
    answers.answers.push_back(deep);
    f.browse();
    QCOMPARE(f.in(), deep);
    QCOMPARE(f.out(), deep.chopped(2) + QStringLiteral("_new.d"));
    QVERIFY(f.inStep());
    QVERIFY(boxes.boxes.empty());
}

void BrowseTest::missingFileIsFoundOutByRun() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    answers.answers.push_back(f.path("typed-in-the-dialog.d"));
    f.browse();
    QVERIFY(boxes.boxes.empty());
    QTest::mouseClick(control<QPushButton>(f.w, "btnRun"), Qt::LeftButton);
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("File read error"));
    QVERIFY(!QFile::exists(f.path("typed-in-the-dialog_new.d")));
}

void BrowseTest::typingAfterBrowseWins() {
    BoxRecorder boxes;
    FileAnswers answers;
    Fixture f;
    answers.answers.push_back(f.path("parts.d"));
    f.browse();
    auto* out = box(f.w, "tbxFileOut");
    out->setFocus();
    out->end(false);
    QTest::keyClick(out, Qt::Key_Backspace);
    QTest::keyClicks(out, QStringLiteral("lib"));
    QCOMPARE(qs(f.w.state().OutFileName), f.path("parts_new.lib"));
    QVERIFY(f.inStep());
}

// The real dialog, answered on the screen: once cancelled, once accepted on the file it opens on.
void BrowseTest::realDialog() {
    BoxRecorder boxes;
    Fixture f;
    QVERIFY(writeFile(f.path("parts.d"), "*PADS-LIBRARY-PCB-DECALS-V9*\r\n"));

    struct Seen {
        bool seen = false;
        QString title;
        QStringList filters;
        QString selectedFilter;
        QWidget* parent = nullptr;
        bool modal = false;
        QString directory;
        QStringList selected;
    } first, second;
    const auto answer = [](Seen& seen, bool accept) {
        QTimer::singleShot(0, qApp, [&seen, accept] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                return;
            }
            seen.seen = true;
            seen.title = dialog->windowTitle();
            seen.filters = dialog->nameFilters();
            seen.selectedFilter = dialog->selectedNameFilter();
            seen.parent = dialog->parentWidget();
            seen.modal = dialog->isModal();
            seen.directory = dialog->directory().absolutePath();
            seen.selected = dialog->selectedFiles();
            // As the user answers: Enter takes the name in the file box, Escape cancels.
            QTest::keyClick(dialog, accept ? Qt::Key_Return : Qt::Key_Escape);
        });
    };

    // The first time there is nothing to open on; cancel.
    answer(first, false);
    f.browse();
    QVERIFY(first.seen);
    QCOMPARE(first.title, QStringLiteral("Open Exported Decal File"));
    QCOMPARE(first.filters,
             QStringList({QStringLiteral("Decal Files (*.d)"), QStringLiteral("All Files (*.*)")}));
    QCOMPARE(first.selectedFilter, QStringLiteral("Decal Files (*.d)"));
    QCOMPARE(first.parent, &f.w);
    QVERIFY(first.modal);
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    checkNoFileSelected(boxes.boxes[0], &f.w);
    QCOMPARE(f.in(), QString());

    // Once a file was chosen, the dialog opens on it; accepting takes it again.
    {
        FileAnswers answers;
        answers.answers.push_back(f.path("parts.d"));
        f.browse();
    }
    retype(box(f.w, "tbxFileOpen"), QString());
    answer(second, true);
    f.browse();
    QVERIFY(second.seen);
    QCOMPARE(second.directory, QDir(f.dir.path()).absolutePath());
    QCOMPARE(second.selected, QStringList(f.path("parts.d")));
    QCOMPARE(f.in(), f.path("parts.d"));
    QCOMPARE(f.out(), f.path("parts_new.d"));
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(BrowseTest)
#include "browse_qt_test.moc"
