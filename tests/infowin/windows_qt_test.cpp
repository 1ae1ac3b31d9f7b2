// The Help, Licence Agreement and About windows as the user meets them: opened from their owner,
// their texts, layout, focus, modality and what Enter and Escape do.
#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QtMath>
#include <QtTest>

#include <vector>

#include "infowin/frmAbout_qt.h"
#include "infowin/frmHelp_qt.h"
#include "infowin/frmLicAgmt_qt.h"
#include "ui/qt/linklabel_qt.h"
#include "tests/ui/qt/modal_qt.h"
#include "owner_qt.h"
#include "platform/desktop.h"
#include "ui/qt/messagebox_qt.h"
#include "platform/registry.h"
#include "ui/qt/syscolors_qt.h"
#include "resources/resources_qt.h"
#include "trelvo_version.h"

using namespace trelvo;
using namespace trelvo::qt;

namespace {

QString shownText(const char* path) {
    QString text = resources::text(path);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// The whole caption is drawn inside the button at its design size, whatever the default font.
bool captionFits(const QPushButton* b) {
    QString caption = b->text();
    caption.remove(QLatin1Char('&'));
    return b->fontMetrics().horizontalAdvance(caption) + 8 <= b->width();
}

bool isFixed(const QWidget* w, QSize size) {
    return w->size() == size && w->minimumSize() == size && w->maximumSize() == size;
}

void checkCentredOver(const QWidget* window, const QWidget* owner) {
    const QPoint offset = window->geometry().center() - owner->geometry().center();
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("off by %1,%2").arg(offset.x()).arg(offset.y())));
}

// The line of the text shown at the top of the box (the scroll bar counts wrapped lines, and
// those are only known once laid out, so its value is no steady measure).
int topLine(QPlainTextEdit* box) {
    return box->cursorForPosition(QPoint(4, 4)).blockNumber();
}

void checkLockedText(QPlainTextEdit* box, const QString& text) {
    QCOMPARE(box->toPlainText(), text);
    QVERIFY(box->isReadOnly());
    QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(box->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    QCOMPARE(box->palette().color(QPalette::Base), colorInactiveBorder());
    QCOMPARE(box->verticalScrollBar()->value(), 0);
    QCOMPARE(topLine(box), 0);

    // Typing, deleting and pasting change nothing.
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClicks(box, QStringLiteral("typed"));
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->toPlainText(), text);

    // But it can be selected and copied.
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
}

// Enter and Escape, on the text and on a button, leave a window without default and cancel
// buttons open.
void checkEnterAndEscapeKeepOpen(QDialog* window, QWidget* text, QPushButton* button) {
    for (QWidget* target : {text, static_cast<QWidget*>(button)}) {
        target->setFocus();
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(target, Qt::Key(key));
            QVERIFY2(window->isVisible(), qPrintable(QString::number(key, 16)));
        }
    }
}

std::vector<QWidget*> tabCycle(QWidget* first, int count) {
    std::vector<QWidget*> seen;
    first->setFocus();
    for (int i = 0; i < count; ++i) {
        QWidget* focus = first->window()->focusWidget();
        seen.push_back(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    return seen;
}

class RecordingOpener : public UrlOpener {
public:
    int open(const std::string& url) override {
        urls.append(QString::fromStdString(url));
        return kUrlOpened;
    }
    QStringList urls;
};

}  // namespace

class TestWindows : public QObject {
    Q_OBJECT

private:
    Owner* owner = nullptr;
    std::vector<Report> boxes;
    MemoryRegistry emptyRegistry;
    RecordingOpener opener;

private slots:
    void init() {
        boxes.clear();
        MessageBoxes::setRecorder([this](QWidget*, const Report& r) { boxes.push_back(r); });
        setRegistry(&emptyRegistry);
        setUrlOpener(&opener);
        opener.urls.clear();
        owner = new Owner;
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner));
    }

    void cleanup() {
        delete owner;
        owner = nullptr;
        MessageBoxes::setRecorder({});
        setRegistry(nullptr);
        setUrlOpener(nullptr);
    }

    void help_opensModalOverItsOwner() {
        bool ran = false;
        onNextModal<frmHelp>([&](frmHelp* help) {
            ran = true;
            QCOMPARE(help->objectName(), QStringLiteral("frmHelp"));
            QCOMPARE(help->windowTitle(), QStringLiteral("Help"));
            QCOMPARE(help->parentWidget(), owner);
            QCOMPARE(help->windowModality(), Qt::WindowModal);
            QVERIFY(isFixed(help, QSize(291, 311)));
            QVERIFY(help->windowFlags().testFlag(Qt::WindowCloseButtonHint));
            QVERIFY(!help->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
            QVERIFY(!help->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
            QVERIFY(!help->isSizeGripEnabled());
            QVERIFY(!help->windowIcon().isNull());
            checkCentredOver(help, owner);

            // The owner takes no input while the Help window is open.
            systemClick(owner->counter);
            QCOMPARE(owner->clicks, 0);
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
        QVERIFY(ran);
        QVERIFY(owner->findChildren<frmHelp*>().isEmpty());  // unloaded when closed
        systemClick(owner->counter);
        QCOMPARE(owner->clicks, 1);
    }

    void help_showsItsControlsAsDesigned() {
        onNextModal<frmHelp>([&](frmHelp* help) {
            QCOMPARE(help->findChild<QPlainTextEdit*>("tbxHelp"), help->tbxHelp);
            QCOMPARE(help->findChild<QPushButton*>("btnClose"), help->btnClose);
            QCOMPARE(help->findChild<QPushButton*>("btnAbout"), help->btnAbout);
            QCOMPARE(help->findChild<QPushButton*>("Command1"), help->Command1);
            QCOMPARE(help->tbxHelp->geometry(), QRect(8, 16, 273, 249));
            QCOMPARE(help->btnClose->geometry(), QRect(128, 280, 73, 22));
            QCOMPARE(help->btnAbout->geometry(), QRect(208, 280, 73, 22));
            QCOMPARE(help->Command1->geometry(), QRect(8, 280, 113, 22));
            QCOMPARE(help->btnClose->text(), QStringLiteral("Close"));
            QCOMPARE(help->btnAbout->text(), QStringLiteral("About"));
            QCOMPARE(help->Command1->text(), QStringLiteral("Licence Agreement"));
            for (QPushButton* b : {help->btnClose, help->btnAbout, help->Command1}) {
                QVERIFY2(captionFits(b), qPrintable(b->text()));
                QVERIFY(!b->isDefault());
                QVERIFY(!b->autoDefault());
            }
            QCOMPARE(help->focusWidget(), help->tbxHelp);
            checkLockedText(help->tbxHelp, shownText(resources::kHelpTextPath));
            const std::vector<QWidget*> order = {help->tbxHelp, help->btnClose, help->btnAbout,
                                                 help->Command1, help->tbxHelp};
            QCOMPARE(tabCycle(help->tbxHelp, 5), order);
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
    }

    // The text is wrapped to the box at its design size: in the box's font no line wraps again,
    // its trailing blank included, but the rules and the lines of asterisks of the boxed notes.
    void help_noLineWrapsAgainInTheBox() {
        onNextModal<frmHelp>([&](frmHelp* help) {
            QTextDocument* text = help->tbxHelp->document();
            const QFontMetrics metrics(help->tbxHelp->font());
            const int room = help->tbxHelp->viewport()->width() - 2 * qCeil(text->documentMargin());
            QCOMPARE(text->toPlainText(), shownText(resources::kHelpTextPath));
            for (QTextBlock line = text->begin(); line.isValid(); line = line.next()) {
                const QString where = QString::number(line.blockNumber() + 1) + ": " + line.text();
                if (!line.text().startsWith("*****") && !line.text().startsWith("-----")) {
                    QVERIFY2(metrics.horizontalAdvance(line.text()) <= room, qPrintable(where));
                    text->documentLayout()->blockBoundingRect(line);  // lays the line out
                    QVERIFY2(line.layout()->lineCount() == 1, qPrintable(where));
                }
            }
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
    }

    void help_enterAndEscapeLeaveItOpen_closeBoxClosesIt() {
        bool closed = false;
        onNextModal<frmHelp>([&](frmHelp* help) {
            checkEnterAndEscapeKeepOpen(help, help->tbxHelp, help->btnClose);
            help->close();  // what the title bar's close box does
            closed = !help->isVisible();
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
        QVERIFY(closed);
    }

    void help_closeButtonClosesIt_nextShowingStartsAtTheTop() {
        QPointer<frmHelp> first;
        bool closed = false;
        onNextModal<frmHelp>([&](frmHelp* help) {
            first = help;
            QScrollBar* bar = help->tbxHelp->verticalScrollBar();
            QVERIFY(bar->maximum() > 0);
            bar->setValue(bar->maximum());
            QTest::mouseClick(help->btnClose, Qt::LeftButton);
            closed = !help->isVisible();
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
        QVERIFY(closed);
        QVERIFY(first.isNull());

        onNextModal<frmHelp>([&](frmHelp* help) {
            QCOMPARE(help->tbxHelp->verticalScrollBar()->value(), 0);
            QCOMPARE(help->focusWidget(), help->tbxHelp);
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
    }

    void help_aboutReturnsToHelpWhereItWas() {
        bool aboutRan = false;
        onNextModal<frmHelp>([&](frmHelp* help) {
            help->tbxHelp->verticalScrollBar()->setValue(40);
            const int top = topLine(help->tbxHelp);
            QVERIFY(top > 20);
            onNextModal<frmAbout>([&](frmAbout* about) {
                aboutRan = true;
                QCOMPARE(about->parentWidget(), help);
                QCOMPARE(about->windowModality(), Qt::WindowModal);
                checkCentredOver(about, help);
                // Neither the Help window nor the main window takes input meanwhile.
                systemClick(help->btnClose);
                QVERIFY(help->isVisible());
                systemClick(owner->counter);
                QCOMPARE(owner->clicks, 0);
                QTest::mouseClick(about->cmdOK, Qt::LeftButton);
                QVERIFY(!about->isVisible());
            });
            QTest::mouseClick(help->btnAbout, Qt::LeftButton);
            QVERIFY(help->findChildren<frmAbout*>().isEmpty());
            QCOMPARE(QApplication::activeModalWidget(), help);
            QCOMPARE(topLine(help->tbxHelp), top);
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
        QVERIFY(aboutRan);
    }

    void licence_opensFromHelpAsDesigned() {
        bool ran = false;
        onNextModal<frmHelp>([&](frmHelp* help) {
            help->tbxHelp->verticalScrollBar()->setValue(25);
            const int top = topLine(help->tbxHelp);
            QVERIFY(top > 10);
            onNextModal<frmLicAgmt>([&](frmLicAgmt* lic) {
                ran = true;
                QCOMPARE(lic->objectName(), QStringLiteral("frmLicAgmt"));
                QCOMPARE(lic->windowTitle(), QStringLiteral("Licence Agreement"));
                QCOMPARE(lic->parentWidget(), help);
                QCOMPARE(lic->windowModality(), Qt::WindowModal);
                QCOMPARE(lic->size(), QSize(290, 248));
                QVERIFY(lic->minimumSize() != lic->maximumSize());  // sizable
                QVERIFY(lic->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
                QVERIFY(lic->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
                QVERIFY(lic->windowFlags().testFlag(Qt::WindowCloseButtonHint));
                checkCentredOver(lic, help);
                QCOMPARE(lic->findChild<QPlainTextEdit*>("tbxHelp"), lic->tbxHelp);
                QCOMPARE(lic->findChild<QPushButton*>("btnClose"), lic->btnClose);
                QCOMPARE(lic->tbxHelp->geometry(), QRect(8, 8, 273, 193));
                QCOMPARE(lic->btnClose->geometry(), QRect(112, 216, 73, 22));
                QCOMPARE(lic->btnClose->text(), QStringLiteral("Close"));
                QVERIFY(!lic->btnClose->isDefault());
                QCOMPARE(lic->focusWidget(), lic->tbxHelp);
                checkLockedText(lic->tbxHelp, shownText(resources::kDisclaimerPath));
                const std::vector<QWidget*> order = {lic->tbxHelp, lic->btnClose, lic->tbxHelp};
                QCOMPARE(tabCycle(lic->tbxHelp, 3), order);

                systemClick(help->btnClose);
                QVERIFY(help->isVisible());
                QTest::mouseClick(lic->btnClose, Qt::LeftButton);
                QVERIFY(!lic->isVisible());
            });
            QTest::mouseClick(help->Command1, Qt::LeftButton);
            QVERIFY(help->findChildren<frmLicAgmt*>().isEmpty());
            QCOMPARE(topLine(help->tbxHelp), top);
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
        QVERIFY(ran);
    }

    void licence_resizingMovesNothing_keysKeepItOpen() {
        bool closed = false;
        onNextModal<frmHelp>([&](frmHelp* help) {
            onNextModal<frmLicAgmt>([&](frmLicAgmt* lic) {
                lic->resize(520, 430);
                QCOMPARE(lic->size(), QSize(520, 430));
                QCOMPARE(lic->tbxHelp->geometry(), QRect(8, 8, 273, 193));
                QCOMPARE(lic->btnClose->geometry(), QRect(112, 216, 73, 22));
                lic->resize(150, 120);  // hides the button
                QCOMPARE(lic->tbxHelp->geometry(), QRect(8, 8, 273, 193));
                QCOMPARE(lic->btnClose->geometry(), QRect(112, 216, 73, 22));
                checkEnterAndEscapeKeepOpen(lic, lic->tbxHelp, lic->btnClose);
                lic->close();  // the close box still closes it
                closed = !lic->isVisible();
            });
            QTest::mouseClick(help->Command1, Qt::LeftButton);
            // The next showing has the design size again.
            onNextModal<frmLicAgmt>(
                [&](frmLicAgmt* lic) { QCOMPARE(lic->size(), QSize(290, 248)); });
            QTest::mouseClick(help->Command1, Qt::LeftButton);
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
        QVERIFY(closed);
    }

    void about_loadsItsTexts() {
        int showings = 0;
        const auto check = [&](frmAbout* about) {
            ++showings;
            QCOMPARE(about->objectName(), QStringLiteral("frmAbout"));
            QCOMPARE(about->windowTitle(), QStringLiteral("About Trelvo"));
            QCOMPARE(about->lblTitle->text(), QStringLiteral("Trelvo"));
            QCOMPARE(about->lblVersion->text(), QStringLiteral("Version 1.0.2"));
            QCOMPARE(about->lblDescription->text(),
                     QStringLiteral("Updates a PowerPCB PCB Decal lib file. Permits modification "
                                    "of decal outline layer and line width."));
            QVERIFY(about->lblDescription->wordWrap());
            QVERIFY(!about->lblDisclaimer->text().isEmpty());
            QCOMPARE(about->lblLnk->text(), QStringLiteral(TRELVO_HOMEPAGE_URL));
            QCOMPARE(about->cmdOK->text(), QStringLiteral("OK"));
            QCOMPARE(about->cmdSysInfo->text(), QStringLiteral("&System Info..."));
            QCOMPARE(about->picIcon->pixmap().size(), QSize(54, 125));
        };
        onNextModal<frmHelp>([&](frmHelp* help) {
            onNextModal<frmAbout>(check);
            QTest::mouseClick(help->btnAbout, Qt::LeftButton);
            onNextModal<frmAbout>(check);  // closing unloads it; the load steps run again
            QTest::mouseClick(help->btnAbout, Qt::LeftButton);
        });
        QTest::mouseClick(owner->help, Qt::LeftButton);
        QCOMPARE(showings, 2);
    }

    void about_isLaidOutAsDesigned() {
        frmAbout about(owner);
        QVERIFY(isFixed(&about, QSize(324, 223)));
        QVERIFY(!about.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!about.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(about.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(about.picIcon->geometry(), QRect(8, 8, 58, 129));
        QCOMPARE(about.lblTitle->geometry(), QRect(72, 16, 243, 32));
        QCOMPARE(about.lblVersion->geometry(), QRect(70, 52, 251, 15));
        QCOMPARE(about.lblDescription->geometry(), QRect(70, 75, 243, 62));
        QCOMPARE(about.lblDisclaimer->geometry(), QRect(16, 159, 209, 31));
        QCOMPARE(about.lblLnk->geometry(), QRect(16, 192, 161, 17));
        QCOMPARE(about.cmdOK->geometry(), QRect(232, 160, 84, 23));
        QCOMPARE(about.cmdSysInfo->geometry(), QRect(232, 189, 83, 23));
        QVERIFY(captionFits(about.cmdOK));
        QVERIFY(captionFits(about.cmdSysInfo));
        for (const char* name : {"picIcon", "lblTitle", "lblVersion", "lblDescription",
                                 "lblDisclaimer", "lblLnk", "cmdOK", "cmdSysInfo"}) {
            QVERIFY2(about.findChild<QWidget*>(name) != nullptr, name);
        }
        QCOMPARE(about.findChildren<QFrame*>("Line1").size(), 2);
        QCOMPARE(about.Line1[1]->geometry(), QRect(6, 147, 306, 1));
        QCOMPARE(about.Line1[0]->geometry(), QRect(7, 148, 305, 2));

        // The etched separator as drawn: grey over white, one pixel lower and to the right.
        about.show();
        const QImage shot = about.grab().toImage();
        QCOMPARE(shot.pixelColor(100, 147), QColor(0x80, 0x80, 0x80));
        QCOMPARE(shot.pixelColor(100, 148), QColor(0xFF, 0xFF, 0xFF));
        QCOMPARE(shot.pixelColor(100, 149), QColor(0xFF, 0xFF, 0xFF));
        QCOMPARE(shot.pixelColor(6, 148), about.palette().color(QPalette::Window));
    }

    void about_linkIsStyledAndOpensTheAddress() {
        frmAbout about(owner);
        QVERIFY(about.lblLnk->font().underline());
        QCOMPARE(about.lblLnk->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(about.lblLnk->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(about.lblLnk->cursor().hotSpot(), QPoint(12, 1));
        QCOMPARE(about.lblLnk->cursor().pixmap().size(), QSize(32, 32));
        QCOMPARE(about.lblLnk->text(), QStringLiteral("https://trelvo.example/"));

        QTest::mouseClick(about.lblLnk, Qt::LeftButton);
        QCOMPARE(opener.urls, QStringList{QStringLiteral("https://trelvo.example/")});
        QCOMPARE(about.HyprLnk(QStringLiteral("https://x.example/a")), kUrlOpened);
        QTest::mouseClick(about.lblTitle, Qt::LeftButton);  // only the link opens anything
        QCOMPARE(opener.urls.size(), 2);
    }

    void about_okIsDefaultAndCancel() {
        for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
            bool closed = false;
            onNextModal<frmHelp>([&](frmHelp* help) {
                onNextModal<frmAbout>([&](frmAbout* about) {
                    QVERIFY(about->cmdOK->isDefault());
                    QCOMPARE(about->focusWidget(), about->cmdOK);
                    const std::vector<QWidget*> order = {about->cmdOK, about->cmdSysInfo,
                                                         about->cmdOK};
                    QCOMPARE(tabCycle(about->cmdOK, 3), order);
                    // Enter answers the default button, Escape the cancel button, wherever the
                    // focus is.
                    about->lblDescription->setFocus();
                    QTest::keyClick(about, Qt::Key(key));
                    closed = !about->isVisible();
                });
                QTest::mouseClick(help->btnAbout, Qt::LeftButton);
                QVERIFY(help->isVisible());
            });
            QTest::mouseClick(owner->help, Qt::LeftButton);
            QVERIFY2(closed, qPrintable(QString::number(key, 16)));
        }
    }

    void about_systemInfoButtonRunsStartSysInfo() {
        frmAbout about(owner);
        QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
        QCOMPARE(boxes.size(), size_t(1));  // the empty registry knows no tool
        QCOMPARE(boxes[0].text, std::string("System Information Is Unavailable At This Time"));
    }
};

QTEST_MAIN(TestWindows)
#include "windows_qt_test.moc"
