// The main window as the user first sees it and as it answers clicks and keys: layout, captions,
// tool tips, state, the enable boxes and their colours, focus order, Escape, Enter, Help, Close.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>

#include "ui/qt/syscolors_qt.h"
#include "support_qt.h"
#include "trelvo_version.h"

using namespace testing_support;

namespace {

QRect fromTwips(int left, int top, int width, int height) {
    const auto px = [](int twips) { return qRound(twips / 15.0); };
    return {px(left), px(top), px(width), px(height)};
}

QString captionOf(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    return QString();
}

// The colour a box is painted with, read from the screen picture just inside its right edge,
// where no text is.
QColor paintedBackground(QLineEdit* edit) {
    const QImage image = edit->grab().toImage();
    return image.pixelColor(image.width() - 5, image.height() / 2);
}

QStringList tabThrough(QWidget& window, int presses) {
    QStringList names{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < presses; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names << QApplication::focusWidget()->objectName();
    }
    Q_UNUSED(window);
    return names;
}

const QString kWidthTip =
    QStringLiteral("Valid entry mils: >0; <= 250 (6.35mm) -append mm for metric");

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void window();
    void centredOnScreen();
    void controls_data();
    void controls();
    void dividerAndCredit();
    void captionsFitTheirControls();
    void initialState();
    void initialColours();
    void enableBoxesByClick();
    void enableBoxByKeyboard();
    void thirdStateChangesNothing();
    void coloursFollowTheScheme();
    void initialFocusAndFocusOrder();
    void fileBoxesFollowTyping();
    void escapeDoesNotClose();
    void enterPressesOnlyTheFocusedButton();
    void helpShowsTheHelpWindowModally();
    void closeButtonEndsTheProgram();
    void closeBoxEndsTheProgram();
};

void MainWindowTest::window() {
    frmTrelvo w;
    QCOMPARE(w.objectName(), QStringLiteral("frmTrelvo"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Trelvo"));
    QCOMPARE(w.size(), QSize(289, 325));
    QCOMPARE(w.minimumSize(), QSize(289, 325));
    QCOMPARE(w.maximumSize(), QSize(289, 325));
    const Qt::WindowFlags flags = w.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(w.windowIcon().availableSizes().contains(QSize(32, 32)));
    const QImage icon = w.windowIcon().pixmap(32, 32).toImage();
    QCOMPARE(icon.size(), QSize(32, 32));
}

void MainWindowTest::centredOnScreen() {
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPoint screenCentre = w.screen()->availableGeometry().center();
    const QPoint windowCentre = w.frameGeometry().center();
    QVERIFY2((screenCentre - windowCentre).manhattanLength() <= 2,
             qPrintable(QStringLiteral("window centre %1,%2, screen centre %3,%4")
                            .arg(windowCentre.x())
                            .arg(windowCentre.y())
                            .arg(screenCentre.x())
                            .arg(screenCentre.y())));
}

void MainWindowTest::controls_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("toolTip");

    const auto row = [](const char* name, const char* kind, const char* in, const char* caption,
                        QRect r, const QString& tip = QString()) {
        QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(in)
                            << QString::fromLatin1(caption) << r << tip;
    };
    row("Label5", "QLabel", "frmTrelvo", "PADS PowerPCB PCB Lib Trelvo",
        fromTwips(120, 120, 4095, 255));
    row("Frame1", "QGroupBox", "frmTrelvo", "Layer", fromTwips(120, 480, 1815, 1575));
    row("Label1", "QLabel", "Frame1", "Old Layer", fromTwips(240, 360, 855, 255));
    row("tbxOldLyr", "QLineEdit", "Frame1", "0", fromTwips(1200, 300, 495, 300),
        QStringLiteral("Layer # (0-30)"));
    row("Label2", "QLabel", "Frame1", "New Layer", fromTwips(240, 840, 855, 255));
    row("tbxNewLyr", "QLineEdit", "Frame1", "1", fromTwips(1200, 800, 495, 300),
        QStringLiteral("Layer # (0-30)"));
    row("Label8", "QLabel", "Frame1", "Enable", fromTwips(240, 1200, 615, 255));
    row("chkEnLyr", "QCheckBox", "Frame1", "", fromTwips(840, 1200, 255, 255));
    row("Frame2", "QGroupBox", "frmTrelvo", "Line Width", fromTwips(2040, 480, 2175, 1575));
    row("Label3", "QLabel", "Frame2", "Old Width", fromTwips(240, 360, 855, 255));
    row("tbxOldWd", "QLineEdit", "Frame2", "10", fromTwips(1200, 300, 855, 300), kWidthTip);
    row("Label4", "QLabel", "Frame2", "New Width", fromTwips(240, 840, 855, 255));
    row("tbxNewWd", "QLineEdit", "Frame2", "5", fromTwips(1200, 800, 855, 300), kWidthTip);
    row("Label9", "QLabel", "Frame2", "Enable", fromTwips(240, 1200, 615, 255));
    row("chkEnWd", "QCheckBox", "Frame2", "", fromTwips(840, 1200, 255, 255));
    row("Frame3", "QGroupBox", "frmTrelvo", "", fromTwips(120, 2160, 4095, 1695));
    row("Label6", "QLabel", "Frame3", "Old *.d file", fromTwips(240, 240, 975, 255));
    row("tbxFileOpen", "QLineEdit", "Frame3", "", fromTwips(240, 480, 2655, 300),
        QStringLiteral("Decal file to update (read)."));
    row("btnFileOpen", "QPushButton", "Frame3", "Browse", fromTwips(3000, 480, 855, 325),
        QStringLiteral("Directory navigation"));
    row("Label7", "QLabel", "Frame3", "New *.d file", fromTwips(240, 960, 975, 255));
    row("tbxFileOut", "QLineEdit", "Frame3", "", fromTwips(240, 1200, 2655, 300),
        QStringLiteral("Write to updated file."));
    row("btnRun", "QPushButton", "frmTrelvo", "Run", fromTwips(480, 4080, 975, 325),
        QStringLiteral("Update lib file."));
    row("btnClose", "QPushButton", "frmTrelvo", "Close", fromTwips(1680, 4080, 975, 325));
    row("btnHelp", "QPushButton", "frmTrelvo", "Help", fromTwips(2760, 4080, 975, 325));
}

void MainWindowTest::controls() {
    QFETCH(QString, kind);
    QFETCH(QString, container);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(QString, toolTip);

    frmTrelvo w;
    const QWidget* c = control<QWidget>(w, QTest::currentDataTag());
    QCOMPARE(QString::fromLatin1(c->metaObject()->className()), kind);
    QCOMPARE(c->parentWidget()->objectName(), container);
    QCOMPARE(captionOf(c), caption);
    QCOMPARE(c->geometry(), geometry);
    QCOMPARE(c->toolTip(), toolTip);
}

void MainWindowTest::dividerAndCredit() {
    frmTrelvo w;
    auto* divider = control<QFrame>(w, "Frame4");
    QCOMPARE(divider->parentWidget(), &w);
    QCOMPARE(divider->geometry(), fromTwips(120, 4560, 4150, 30));
    QCOMPARE(divider->frameShape(), QFrame::HLine);
    QCOMPARE(divider->frameShadow(), QFrame::Sunken);

    auto* credit = control<QLabel>(w, "Label10");
    QCOMPARE(credit->parentWidget(), &w);
    QCOMPARE(credit->geometry(), fromTwips(840, 4620, 2775, 225));
    QCOMPARE(credit->text(), QStringLiteral("Trelvo 1.0.2 for PCB librarians"));
    QCOMPARE(credit->toolTip(), QStringLiteral(TRELVO_HOMEPAGE_URL));
    QVERIFY(!credit->toolTip().isEmpty());
}

void MainWindowTest::captionsFitTheirControls() {
    frmTrelvo w;
    for (const QLabel* l : w.findChildren<QLabel*>()) {
        const QFontMetrics m = l->fontMetrics();
        QVERIFY2(m.horizontalAdvance(l->text()) <= l->contentsRect().width(),
                 qPrintable(l->objectName()));
        QVERIFY2(m.height() <= l->height(), qPrintable(l->objectName()));
    }
    for (const QPushButton* b : w.findChildren<QPushButton*>()) {
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + 8 <= b->width(),
                 qPrintable(b->objectName()));
    }
    for (const QGroupBox* g : w.findChildren<QGroupBox*>()) {
        QVERIFY2(g->fontMetrics().horizontalAdvance(g->title()) <= g->width(),
                 qPrintable(g->objectName()));
    }
    // Neighbouring captions share one font.
    QCOMPARE(control<QLabel>(w, "Label2")->font(), control<QLabel>(w, "Label1")->font());
    QCOMPARE(control<QLabel>(w, "Label7")->font(), control<QPushButton>(w, "btnRun")->font());
}

void MainWindowTest::initialState() {
    frmTrelvo w;
    const trelvo::MainFormState& st = w.state();
    QCOMPARE(st.InFileNum, int16_t(0));
    QCOMPARE(st.OutFileNum, int16_t(0));
    QCOMPARE(qs(st.InFileName), QString());
    QCOMPARE(qs(st.OutFileName), QString());
    QCOMPARE(st.EnLyr, true);
    QCOMPARE(st.EnWd, false);
    QCOMPARE(st.OpenErr, false);

    QVERIFY(control<QCheckBox>(w, "chkEnLyr")->isChecked());
    QVERIFY(!control<QCheckBox>(w, "chkEnWd")->isChecked());
    QVERIFY(box(w, "tbxOldLyr")->isEnabled());
    QVERIFY(box(w, "tbxNewLyr")->isEnabled());
    QVERIFY(!box(w, "tbxOldWd")->isEnabled());
    QVERIFY(!box(w, "tbxNewWd")->isEnabled());

    const trelvo::qt::OpenFileRequest& request = w.openDialogRequest();
    QCOMPARE(request.owner, &w);
    QCOMPARE(request.title, QStringLiteral("Open Exported Decal File"));
    QCOMPARE(request.filters,
             QStringList({QStringLiteral("Decal Files (*.d)"), QStringLiteral("All Files (*.*)")}));
    QCOMPARE(request.filterIndex, 0);
    QCOMPARE(request.fileName, QString());
}

void MainWindowTest::initialColours() {
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(trelvo::qt::colorWindow() != trelvo::qt::colorInactiveBorder());
    for (const char* name : {"tbxOldLyr", "tbxNewLyr"}) {
        QCOMPARE(box(w, name)->palette().color(QPalette::Active, QPalette::Base),
                 trelvo::qt::colorWindow());
        QCOMPARE(paintedBackground(box(w, name)), trelvo::qt::colorWindow());
    }
    for (const char* name : {"tbxOldWd", "tbxNewWd"}) {
        QCOMPARE(box(w, name)->palette().color(QPalette::Disabled, QPalette::Base),
                 trelvo::qt::colorInactiveBorder());
        QCOMPARE(paintedBackground(box(w, name)), trelvo::qt::colorInactiveBorder());
    }
}

void MainWindowTest::enableBoxesByClick() {
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* chkEnWd = control<QCheckBox>(w, "chkEnWd");
    auto* chkEnLyr = control<QCheckBox>(w, "chkEnLyr");

    QTest::mouseClick(chkEnWd, Qt::LeftButton);
    QVERIFY(chkEnWd->isChecked());
    QCOMPARE(w.state().EnWd, true);
    for (const char* name : {"tbxOldWd", "tbxNewWd"}) {
        QVERIFY(box(w, name)->isEnabled());
        QCOMPARE(paintedBackground(box(w, name)), trelvo::qt::colorWindow());
    }
    QCOMPARE(box(w, "tbxOldWd")->text(), QStringLiteral("10"));
    QCOMPARE(box(w, "tbxNewWd")->text(), QStringLiteral("5"));

    retype(box(w, "tbxOldWd"), QStringLiteral("0.254mm"));
    QTest::mouseClick(chkEnWd, Qt::LeftButton);
    QCOMPARE(w.state().EnWd, false);
    for (const char* name : {"tbxOldWd", "tbxNewWd"}) {
        QVERIFY(!box(w, name)->isEnabled());
        QCOMPARE(paintedBackground(box(w, name)), trelvo::qt::colorInactiveBorder());
    }
    QCOMPARE(box(w, "tbxOldWd")->text(), QStringLiteral("0.254mm"));  // kept while disabled

    QTest::mouseClick(chkEnLyr, Qt::LeftButton);
    QCOMPARE(w.state().EnLyr, false);
    for (const char* name : {"tbxOldLyr", "tbxNewLyr"}) {
        QVERIFY(!box(w, name)->isEnabled());
        QCOMPARE(paintedBackground(box(w, name)), trelvo::qt::colorInactiveBorder());
    }
    QCOMPARE(box(w, "tbxOldLyr")->text(), QStringLiteral("0"));
    QTest::mouseClick(chkEnLyr, Qt::LeftButton);
    QCOMPARE(w.state().EnLyr, true);
    for (const char* name : {"tbxOldLyr", "tbxNewLyr"}) {
        QVERIFY(box(w, name)->isEnabled());
        QCOMPARE(paintedBackground(box(w, name)), trelvo::qt::colorWindow());
    }
    QCOMPARE(w.state().EnWd, false);  // the other pair is left alone
}

void MainWindowTest::enableBoxByKeyboard() {
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* chkEnWd = control<QCheckBox>(w, "chkEnWd");
    chkEnWd->setFocus();
    QTest::keyClick(chkEnWd, Qt::Key_Space);
    QCOMPARE(w.state().EnWd, true);
    QVERIFY(box(w, "tbxNewWd")->isEnabled());
}

void MainWindowTest::thirdStateChangesNothing() {
    frmTrelvo w;
    auto* chkEnWd = control<QCheckBox>(w, "chkEnWd");
    auto* chkEnLyr = control<QCheckBox>(w, "chkEnLyr");
    chkEnWd->setTristate(true);
    chkEnLyr->setTristate(true);
    chkEnWd->setCheckState(Qt::PartiallyChecked);
    chkEnLyr->setCheckState(Qt::PartiallyChecked);
    // The click handlers find the greyed state and leave everything as it is.
    QVERIFY(QMetaObject::invokeMethod(&w, "chkEnWd_Click"));
    QVERIFY(QMetaObject::invokeMethod(&w, "chkEnLyr_Click"));
    QCOMPARE(w.state().EnWd, false);
    QCOMPARE(w.state().EnLyr, true);
    QVERIFY(!box(w, "tbxOldWd")->isEnabled());
    QVERIFY(box(w, "tbxOldLyr")->isEnabled());
    QCOMPARE(box(w, "tbxOldWd")->palette().color(QPalette::Disabled, QPalette::Base),
             trelvo::qt::colorInactiveBorder());
    QCOMPARE(box(w, "tbxOldLyr")->palette().color(QPalette::Active, QPalette::Base),
             trelvo::qt::colorWindow());
}

void MainWindowTest::coloursFollowTheScheme() {
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Active, QPalette::Base, QColor(0x20, 0x20, 0x30));
    dark.setColor(QPalette::Inactive, QPalette::Base, QColor(0x20, 0x20, 0x30));
    dark.setColor(QPalette::Disabled, QPalette::Base, QColor(0x50, 0x40, 0x40));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();  // the change reaches the windows as a posted event
    const QColor enabled = paintedBackground(box(w, "tbxOldLyr"));
    const QColor disabled = paintedBackground(box(w, "tbxOldWd"));
    QApplication::setPalette(original);
    QCoreApplication::processEvents();
    QCOMPARE(enabled, QColor(0x20, 0x20, 0x30));
    QCOMPARE(disabled, QColor(0x50, 0x40, 0x40));
    QCOMPARE(paintedBackground(box(w, "tbxOldLyr")), trelvo::qt::colorWindow());
}

void MainWindowTest::initialFocusAndFocusOrder() {
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(QApplication::focusWidget(), control<QWidget>(w, "btnRun"));

    // Disabled width boxes are skipped.
    QCOMPARE(tabThrough(w, 10), QStringList({"btnRun", "btnClose", "tbxNewLyr", "tbxOldLyr",
                                             "tbxFileOut", "btnFileOpen", "tbxFileOpen", "btnHelp",
                                             "chkEnWd", "chkEnLyr", "btnRun"}));

    QTest::mouseClick(control<QCheckBox>(w, "chkEnWd"), Qt::LeftButton);
    control<QWidget>(w, "btnRun")->setFocus();
    QCOMPARE(tabThrough(w, 12),
             QStringList({"btnRun", "btnClose", "tbxNewLyr", "tbxOldLyr", "tbxOldWd", "tbxNewWd",
                          "tbxFileOut", "btnFileOpen", "tbxFileOpen", "btnHelp", "chkEnWd",
                          "chkEnLyr", "btnRun"}));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("chkEnLyr"));
}

void MainWindowTest::fileBoxesFollowTyping() {
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* in = box(w, "tbxFileOpen");
    auto* out = box(w, "tbxFileOut");

    in->setFocus();
    QTest::keyClicks(in, QStringLiteral("/lib/parts.d"));
    QCOMPARE(qs(w.state().InFileName), QStringLiteral("/lib/parts.d"));
    QTest::keyClick(in, Qt::Key_Backspace);
    QCOMPARE(qs(w.state().InFileName), QStringLiteral("/lib/parts."));

    out->setFocus();
    QTest::keyClicks(out, QStringLiteral("/lib/Bauteile_"));
    QTest::sendKeyEvent(QTest::Click, out, Qt::Key_Udiaeresis, QStringLiteral("\u00fc"),
                        Qt::NoModifier);
    QTest::keyClicks(out, QStringLiteral(".d"));
    QCOMPARE(w.state().OutFileName, std::string("/lib/Bauteile_\xc3\xbc.d"));  // UTF-8
    retype(out, QString());
    QCOMPARE(w.state().OutFileName, std::string());
    QCOMPARE(qs(w.state().InFileName), QStringLiteral("/lib/parts."));
}

void MainWindowTest::escapeDoesNotClose() {
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QSignalSpy finished(&w, &QDialog::finished);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // on btnRun
    box(w, "tbxOldLyr")->setFocus();
    QTest::keyClick(box(w, "tbxOldLyr"), Qt::Key_Escape);
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(w.isVisible());
    QCOMPARE(finished.count(), 0);
}

void MainWindowTest::enterPressesOnlyTheFocusedButton() {
    BoxRecorder boxes;
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    for (const char* name : {"btnRun", "btnClose", "btnHelp", "btnFileOpen"}) {
        auto* b = control<QPushButton>(w, name);
        QVERIFY2(!b->isDefault() && !b->autoDefault(), name);
    }

    // Enter in an entry box starts nothing.
    for (const char* name : {"tbxOldLyr", "tbxFileOpen", "tbxFileOut"}) {
        box(w, name)->setFocus();
        QTest::keyClick(box(w, name), Qt::Key_Return);
        QTest::keyClick(box(w, name), Qt::Key_Enter, Qt::KeypadModifier);
    }
    QVERIFY(boxes.boxes.empty());
    QVERIFY(w.isVisible());

    // Enter on Run runs (the file names are empty, so the entry check answers).
    control<QWidget>(w, "btnRun")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(boxes.boxes.size(), std::size_t(1));
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("User entry error"));

    // Enter on Close closes.
    control<QWidget>(w, "btnClose")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(!w.isVisible());
}

void MainWindowTest::helpShowsTheHelpWindowModally() {
    BoxRecorder boxes;
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QString seenTitle;
    QWidget* seenOwner = nullptr;
    bool ownerBlocked = false;
    bool stillThere = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            return;
        }
        seenTitle = modal->windowTitle();
        seenOwner = modal->parentWidget();
        ownerBlocked = modal->isModal() && modal->objectName() == QLatin1String("frmHelp");
        // The main window takes no clicks while Help is open.
        // (clicked through the window system, which is where a modal window blocks its owner)
        QPushButton* run = control<QPushButton>(w, "btnRun");
        QTest::mouseClick(w.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          run->mapTo(&w, run->rect().center()));
        modal->findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
    });
    QTest::mouseClick(control<QPushButton>(w, "btnHelp"), Qt::LeftButton);
    // Back here only once Help is closed, and it is gone.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        stillThere |= top->objectName() == QLatin1String("frmHelp") && top->isVisible();
    }
    QCOMPARE(seenTitle, QStringLiteral("Help"));
    QCOMPARE(seenOwner, static_cast<QWidget*>(&w));
    QVERIFY(ownerBlocked);
    QVERIFY(!stillThere);
    QVERIFY(boxes.boxes.empty());  // the click on Run did not get through
    QVERIFY(w.isVisible());
}

// Notices the application being asked to end.
class QuitWatcher : public QObject {
public:
    bool quitAsked = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp && event->type() == QEvent::Quit) {
            quitAsked = true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Runs the event loop as the program does, performs the action in it and returns the loop's exit
// status. When nothing asks the program to end, a check queued behind the action ends the loop
// with 1 instead of leaving the test hanging.
int runProgramUntilEnded(const std::function<void()>& action) {
    auto* watcher = new QuitWatcher;
    qApp->installEventFilter(watcher);
    QTimer::singleShot(0, qApp, [action, watcher] {
        action();
        QMetaObject::invokeMethod(
            qApp,
            [watcher] {
                if (!watcher->quitAsked) {
                    QCoreApplication::exit(1);
                }
            },
            Qt::QueuedConnection);
    });
    const int status = QApplication::exec();
    delete watcher;
    return status;
}

void MainWindowTest::closeButtonEndsTheProgram() {
    BoxRecorder boxes;
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    const int status = runProgramUntilEnded(
        [&w] { QTest::mouseClick(control<QPushButton>(w, "btnClose"), Qt::LeftButton); });
    QCOMPARE(status, 0);
    QVERIFY(!w.isVisible());
    QVERIFY(boxes.boxes.empty());  // no confirmation
}

void MainWindowTest::closeBoxEndsTheProgram() {
    frmTrelvo w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const int status = runProgramUntilEnded([&w] { w.windowHandle()->close(); });
    QCOMPARE(status, 0);
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(MainWindowTest)
#include "window_qt_test.moc"
