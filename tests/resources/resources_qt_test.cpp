// The compiled-in pictures and fixed texts: sizes, line ends and the structure the Help and
// Licence Agreement windows rely on.
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QtTest>

#include "resources/resources_qt.h"

using namespace trelvo;

namespace {

const QString kBanner = QStringLiteral("****************Important Note*****************");
const QString kRule = QString(69, QLatin1Char('-'));
const QString kStars = QString(50, QLatin1Char('*'));

QStringList crlfLines(const QString& text) {
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

}  // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void pictures_haveTheirSizes() {
        QCOMPARE(QImage(resources::kIconPath).size(), QSize(32, 32));
        QCOMPARE(QImage(resources::kHandCursorPath).size(), QSize(32, 32));
        const QImage logo(resources::kLogoPath, "JPEG");
        QCOMPARE(logo.size(), QSize(54, 125));
        QFile raw(resources::kLogoPath);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(raw.read(3) == QByteArray("\xFF\xD8\xFF"));  // really a JPEG, not a renamed PNG
    }

    void handCursor_pointsWithItsFingertip() {
        const QCursor cursor = resources::handCursor();
        QCOMPARE(cursor.hotSpot(), QPoint(12, 1));
        QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
        // The hot spot is on the drawn outline, not on a transparent pixel.
        const QImage hand(resources::kHandCursorPath);
        QCOMPARE(qAlpha(hand.pixel(12, 1)), 255);
        QCOMPARE(qAlpha(hand.pixel(12, 0)), 0);
    }

    void texts_useCrLfOnly() {
        for (const char* path : {resources::kHelpTextPath, resources::kDisclaimerPath}) {
            const QString text = resources::text(path);
            QVERIFY2(!text.isEmpty(), path);
            QVERIFY2(text.endsWith(QStringLiteral("\r\n")), path);
            QString stripped = text;
            stripped.remove(QStringLiteral("\r\n"));
            QVERIFY2(!stripped.contains(QLatin1Char('\r')), path);
            QVERIFY2(!stripped.contains(QLatin1Char('\n')), path);
            for (QChar c : stripped) {
                QVERIFY2(c.unicode() >= 0x20 && c.unicode() < 0x7F, path);
            }
        }
    }

    void helpText_hasItsSize() {
        const QString text = resources::text(resources::kHelpTextPath);
        QVERIFY2(text.size() >= 5000 && text.size() <= 5800,
                 qPrintable(QString::number(text.size())));
        for (const QString& line : crlfLines(text)) {
            if (line != kRule) {
                QVERIFY2(line.size() <= 57, qPrintable(line));
            }
        }
    }

    void helpText_followsItsStructure() {
        const QStringList lines = crlfLines(resources::text(resources::kHelpTextPath));
        QVERIFY(lines.size() > 3);
        QCOMPARE(lines[0], QStringLiteral("User Info for Trelvo Program"));
        QCOMPARE(lines[1], kRule);
        QCOMPARE(lines[2], QString());
        QCOMPARE(lines.last(), kRule);
        QCOMPARE(lines.count(kRule), 2);

        // Headings on lines of their own, in this order.
        const QStringList headings = {"Program description:",
                                      "Usage:",
                                      "Decal Export:",
                                      "Program Operation:",
                                      "Decal Import:",
                                      "Details on Controls:",
                                      "Layer:",
                                      "Line Width:",
                                      "Old *.d File:",
                                      "Browse:",
                                      "New *.d File:",
                                      "Run:",
                                      "Close:"};
        qsizetype at = 0;
        for (const QString& heading : headings) {
            const qsizetype found = lines.indexOf(heading, at);
            QVERIFY2(found > at, qPrintable(heading));
            at = found;
        }

        // Three boxed notes: banner, text, a closing line of 50 asterisks.
        QCOMPARE(lines.count(kBanner), 3);
        QCOMPARE(lines.count(kStars), 3);
        qsizetype from = 0;
        for (int note = 0; note < 3; ++note) {
            const qsizetype banner = lines.indexOf(kBanner, from);
            const qsizetype end = lines.indexOf(kStars, banner);
            QVERIFY(banner >= 0 && end > banner + 1);
            from = end;
        }
        QVERIFY(lines[lines.indexOf(kBanner) + 1].contains(QStringLiteral("Licence Agreement")));
        QVERIFY(lines.indexOf(kBanner) < lines.indexOf(QStringLiteral("Program description:")));
    }

    // Each fixed sentence is a paragraph of its own: one line, or lines that end in a blank where
    // the text is wrapped to the box.
    void helpText_statesItsFixedSentences() {
        QString text = resources::text(resources::kHelpTextPath);
        text.replace(QStringLiteral(" \r\n"), QStringLiteral(" "));
        const QStringList lines = crlfLines(text);
        for (const char* sentence :
             {"Note: PowerPCB is NOT required to run.", "e.g. C:\\Padspwr\\Lib\\test.d",
              "e.g. C:\\Padspwr\\Lib\\test_new.d", "6. Click the Run button.",
              "Valid user entries: 0-30.", "Valid user entries: >0 and <=250mils (6.35mm).",
              "Exits the program."}) {
            QVERIFY2(lines.contains(QString::fromLatin1(sentence)), sentence);
        }
        QVERIFY(lines.join(QLatin1Char(' ')).contains(QStringLiteral("<File> <Library>")));
    }

    void disclaimer_isThreeParagraphs() {
        const QString text = resources::text(resources::kDisclaimerPath);
        QVERIFY2(text.size() >= 750 && text.size() <= 900,
                 qPrintable(QString::number(text.size())));
        const QStringList paragraphs =
            crlfLines(text).join(QLatin1Char('\n')).split(QStringLiteral("\n\n"));
        QCOMPARE(paragraphs.size(), 3);
        for (const QString& p : paragraphs) {
            QVERIFY(!p.isEmpty());
            QVERIFY(!p.contains(QLatin1Char('\n')));  // one long line each
        }
        QVERIFY(paragraphs[0].contains(QStringLiteral("\"as is\"")));
        QVERIFY(paragraphs[1].contains(QStringLiteral("Add/Remove Programs")));
        QVERIFY(paragraphs[2].contains(QStringLiteral("08/03")));
    }

    void texts_nameNoMakerNorAddress() {
        static const QRegularExpression address(
            QStringLiteral(
                R"(https?:|www\.|@|\.(com|net|org|example)\b|copyright|\(c\)|\bInc\b|\bLtd\b|trelvo\.exe)"),
            QRegularExpression::CaseInsensitiveOption);
        for (const char* path : {resources::kHelpTextPath, resources::kDisclaimerPath}) {
            const QString text = resources::text(path);
            QVERIFY2(!text.contains(address), qPrintable(address.match(text).captured()));
        }
    }
};

QTEST_MAIN(TestResources)
#include "resources_qt_test.moc"
