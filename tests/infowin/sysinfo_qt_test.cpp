// GetKeyValue and StartSysInfo of the About window over a registry the test fills, and the
// Linux services underneath: the system-information lookup, the file test and the program start.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

#include "infowin/frmAbout_qt.h"
#include "platform/desktop.h"
#include "ui/qt/messagebox_qt.h"
#include "platform/registry.h"

using namespace trelvo;
using namespace trelvo::qt;

namespace {

const std::string kFirstKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kSecondKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* const kUnavailable = "System Information Is Unavailable At This Time";

RegValue text(const std::string& s, bool terminated = true) {
    RegValue v{kRegSz, std::vector<unsigned char>(s.begin(), s.end())};
    if (terminated) {
        v.bytes.push_back(0);
    }
    return v;
}

RegValue bytesOf(std::uint32_t type, std::vector<unsigned char> bytes) {
    return RegValue{type, std::move(bytes)};
}

// Writes an executable shell script that creates marker when it runs.
QString writeTool(const QString& path, const QString& marker) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    // Shell syntax only: the tests may run it with a PATH that holds no other programs.
    file.write(QStringLiteral("#!/bin/sh\n: > '%1'\n").arg(marker).toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

}  // namespace

class TestSysInfo : public QObject {
    Q_OBJECT

private:
    MemoryRegistry reg;
    std::vector<std::pair<QWidget*, Report>> boxes;
    frmAbout* about = nullptr;
    QTemporaryDir dir;

    QString marker() const { return dir.filePath(QStringLiteral("started")); }

    void checkUnavailableShown() {
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].first, static_cast<QWidget*>(about));
        QCOMPARE(boxes[0].second.text, std::string(kUnavailable));
        QCOMPARE(boxes[0].second.title, std::string());  // shows the program title
        QCOMPARE(boxes[0].second.icon, Icon::None);
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        QFile::remove(marker());
        reg = MemoryRegistry();
        boxes.clear();
        setRegistry(&reg);
        MessageBoxes::setRecorder(
            [this](QWidget* parent, const Report& r) { boxes.emplace_back(parent, r); });
        about = new frmAbout(nullptr);
    }

    void cleanup() {
        delete about;
        QCOMPARE(reg.openKeys(), size_t(0));  // every opened key was closed
        setRegistry(nullptr);
        MessageBoxes::setRecorder({});
    }

    void getKeyValue_data() {
        QTest::addColumn<RegValue>("stored");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("keyVal");
        const auto row = [](const char* name, RegValue v, bool result, const QString& keyVal) {
            QTest::newRow(name) << v << result << keyVal;
        };
        row("text loses its terminating zero", text("/usr/bin/hardinfo"), true,
            "/usr/bin/hardinfo");
        row("text without a zero keeps its last character", text("abc", false), true, "abc");
        row("text of one zero is empty", text(""), true, "");
        row("only the last zero goes", bytesOf(kRegSz, {'a', 0, 0}), true,
            QStringLiteral("a") + QChar(0));
        row("fills the buffer exactly", text(std::string(1023, 'x')), true,
            QString(1023, QLatin1Char('x')));
        row("longer than the buffer is unreadable", text(std::string(1024, 'x')), false, "");
        row("dword most significant byte first", bytesOf(kRegDword, {0x78, 0x56, 0x34, 0x12}), true,
            "&h12345678");
        row("dword digits in upper case", bytesOf(kRegDword, {0xef, 0xcd, 0xab, 0x9a}), true,
            "&h9AABCDEF");
        row("dword zero loses its last zero byte", bytesOf(kRegDword, {0, 0, 0, 0}), true,
            "&h000000");
        row("dword with a zero top byte", bytesOf(kRegDword, {0x01, 0x02, 0x03, 0x00}), true,
            "&h030201");
        row("other type leaves KeyVal as it was", bytesOf(3, {1, 2, 3}), true, "before");
    }

    void getKeyValue() {
        QFETCH(RegValue, stored);
        QFETCH(bool, result);
        QFETCH(QString, keyVal);
        reg.set(kFirstKey, "PATH", stored);
        QString value = QStringLiteral("before");
        QCOMPARE(about->GetKeyValue(kHkeyLocalMachine, QString::fromStdString(kFirstKey),
                                    QStringLiteral("PATH"), value),
                 result);
        QCOMPARE(value, keyVal);
    }

    void getKeyValue_missingKeyOrValueReadsNothing() {
        reg.set(kFirstKey, "OTHER", text("x"));
        QString value = QStringLiteral("before");
        QVERIFY(!about->GetKeyValue(kHkeyLocalMachine, QString::fromStdString(kSecondKey),
                                    QStringLiteral("MSINFO"), value));
        QCOMPARE(value, QString());
        value = QStringLiteral("before");
        QVERIFY(!about->GetKeyValue(kHkeyLocalMachine, QString::fromStdString(kFirstKey),
                                    QStringLiteral("PATH"), value));
        QCOMPARE(value, QString());
        value = QStringLiteral("before");
        QVERIFY(!about->GetKeyValue(0x80000001, QString::fromStdString(kFirstKey),
                                    QStringLiteral("OTHER"), value));
        QCOMPARE(value, QString());
    }

    void getKeyValue_zeroBytesIsAnError() {
        reg.set(kFirstKey, "PATH", bytesOf(kRegSz, {}));
        QString value = QStringLiteral("before");
        QVERIFY_THROWS_EXCEPTION(
            RegistryValueError,
            about->GetKeyValue(kHkeyLocalMachine, QString::fromStdString(kFirstKey),
                               QStringLiteral("PATH"), value));
        // cleanup() checks that the key was closed all the same.
    }

    void startSysInfo_startsTheToolNamedByPath() {
        const QString tool = writeTool(dir.filePath(QStringLiteral("sysinfo-tool")), marker());
        reg.set(kFirstKey, "PATH", text(tool.toStdString()));
        about->StartSysInfo();
        QVERIFY(boxes.empty());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker()), 10000);
    }

    void startSysInfo_pathToAMissingFileFailsToStart() {
        reg.set(kFirstKey, "PATH", text(dir.filePath(QStringLiteral("gone")).toStdString()));
        // Not read: the first key's value is taken even though it names nothing.
        const QString tool =
            writeTool(dir.filePath(QStringLiteral("tools\\MSINFO32.EXE")), marker());
        QVERIFY(!tool.isEmpty());
        reg.set(kSecondKey, "MSINFO", text(dir.filePath(QStringLiteral("tools")).toStdString()));
        about->StartSysInfo();
        checkUnavailableShown();
    }

    void startSysInfo_folderOfTheSecondKey() {
        // The path is the folder and "\MSINFO32.EXE" joined as they are; on Linux that names a
        // file whose name holds the backslash.
        const QString tool =
            writeTool(dir.filePath(QStringLiteral("tools\\MSINFO32.EXE")), marker());
        QVERIFY(!tool.isEmpty());
        reg.set(kSecondKey, "MSINFO", text(dir.filePath(QStringLiteral("tools")).toStdString()));
        about->StartSysInfo();
        QVERIFY(boxes.empty());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker()), 10000);
    }

    void startSysInfo_folderWithoutTheTool() {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("empty")));
        // A real separator is not what is looked for.
        QVERIFY(!writeTool(dir.filePath(QStringLiteral("empty/MSINFO32.EXE")), marker()).isEmpty());
        reg.set(kSecondKey, "MSINFO", text(dir.filePath(QStringLiteral("empty")).toStdString()));
        about->StartSysInfo();
        checkUnavailableShown();
    }

    void startSysInfo_toolThatIsAFolderIsNotStarted() {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("dirs\\MSINFO32.EXE")));
        reg.set(kSecondKey, "MSINFO", text(dir.filePath(QStringLiteral("dirs")).toStdString()));
        about->StartSysInfo();
        checkUnavailableShown();
    }

    void startSysInfo_noKeys() {
        about->StartSysInfo();
        checkUnavailableShown();
    }

    void startSysInfo_valueTooLong() {
        reg.set(kFirstKey, "PATH", text("/" + std::string(1100, 'x')));
        about->StartSysInfo();
        checkUnavailableShown();
    }

    void startSysInfo_zeroBytes() {
        reg.set(kFirstKey, "PATH", bytesOf(kRegSz, {}));
        const QString tool =
            writeTool(dir.filePath(QStringLiteral("tools\\MSINFO32.EXE")), marker());
        reg.set(kSecondKey, "MSINFO", text(dir.filePath(QStringLiteral("tools")).toStdString()));
        about->StartSysInfo();
        checkUnavailableShown();
    }

    void startSysInfo_otherTypeGivesAnEmptyPath() {
        reg.set(kFirstKey, "PATH", bytesOf(7, {'/', 'b', 'i', 'n', '/', 's', 'h', 0}));
        const QString tool =
            writeTool(dir.filePath(QStringLiteral("tools\\MSINFO32.EXE")), marker());
        reg.set(kSecondKey, "MSINFO", text(dir.filePath(QStringLiteral("tools")).toStdString()));
        about->StartSysInfo();
        checkUnavailableShown();
    }

    void startSysInfo_notExecutable() {
        const QString tool = writeTool(dir.filePath(QStringLiteral("plain")), marker());
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner);
        reg.set(kFirstKey, "PATH", text(tool.toStdString()));
        about->StartSysInfo();
        checkUnavailableShown();
    }
};

// The Linux answers underneath, without a test registry.
class TestLinuxServices : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder;  // a fresh one per test: PATH points into it
    QByteArray savedPath;

private slots:
    void init() {
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(folder->isValid());
        savedPath = qgetenv("PATH");
    }
    void cleanup() {
        qputenv("PATH", savedPath);
        folder.reset();
    }

    void registry_givesTheFirstToolFoundOnPath() {
        const QString bin = folder->filePath(QStringLiteral("bin"));
        const QString more = folder->filePath(QStringLiteral("more"));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(more));
        writeTool(bin + QStringLiteral("/lshw-gtk"), QStringLiteral("/dev/null"));
        writeTool(more + QStringLiteral("/kinfocenter"), QStringLiteral("/dev/null"));
        QFile plain(bin + QStringLiteral("/hardinfo"));  // not executable: skipped
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        qputenv("PATH", (bin + QLatin1Char(':') + more).toLocal8Bit());

        SystemInfoRegistry registry;
        RegKey key = 0;
        QCOMPARE(registry.open(kHkeyLocalMachine, kFirstKey, 0, kKeyAccessMask, &key),
                 kErrorSuccess);
        std::vector<unsigned char> buffer(1024);
        std::uint32_t type = 0;
        std::uint32_t size = 1024;
        QCOMPARE(registry.query(key, "PATH", &type, buffer.data(), &size), kErrorSuccess);
        QCOMPARE(type, kRegSz);
        const std::string expected = (more + QStringLiteral("/kinfocenter")).toStdString();
        QCOMPARE(std::string(buffer.begin(), buffer.begin() + size), expected + '\0');

        size = 4;  // too small a buffer: nothing read
        QCOMPARE(registry.query(key, "PATH", &type, buffer.data(), &size), kErrorMoreData);
        QCOMPARE(registry.query(key, "MSINFO", &type, buffer.data(), &size), kErrorFileNotFound);
        QCOMPARE(registry.close(key), kErrorSuccess);

        RegKey other = 0;
        QCOMPARE(registry.open(kHkeyLocalMachine, kSecondKey, 0, kKeyAccessMask, &other),
                 kErrorFileNotFound);
    }

    void registry_withoutToolHasNoKey() {
        qputenv("PATH", folder->path().toLocal8Bit());
        SystemInfoRegistry registry;
        RegKey key = 0;
        QCOMPARE(registry.open(kHkeyLocalMachine, kFirstKey, 0, kKeyAccessMask, &key),
                 kErrorFileNotFound);
    }

    void startSysInfo_startsTheToolFoundOnPath() {
        const QString marker = folder->filePath(QStringLiteral("started"));
        writeTool(folder->filePath(QStringLiteral("hardinfo2")), marker);
        qputenv("PATH", folder->path().toLocal8Bit());
        std::vector<Report> boxes;
        MessageBoxes::setRecorder([&](QWidget*, const Report& r) { boxes.push_back(r); });
        frmAbout about(nullptr);
        about.StartSysInfo();
        MessageBoxes::setRecorder({});
        QVERIFY(boxes.empty());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
    }

    void startSysInfo_noToolOnPath() {
        qputenv("PATH", folder->path().toLocal8Bit());
        std::vector<Report> boxes;
        MessageBoxes::setRecorder([&](QWidget*, const Report& r) { boxes.push_back(r); });
        frmAbout about(nullptr);
        about.StartSysInfo();
        MessageBoxes::setRecorder({});
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].text, std::string(kUnavailable));
    }

    void fileExists_plainVisibleFilesOnly() {
        const QString file = writeTool(folder->filePath(QStringLiteral("tool")), QString());
        const QString hidden = writeTool(folder->filePath(QStringLiteral(".tool")), QString());
        QVERIFY(fileExists(file.toStdString()));
        QVERIFY(!fileExists(hidden.toStdString()));
        QVERIFY(!fileExists(folder->path().toStdString()));
        QVERIFY(!fileExists(folder->filePath(QStringLiteral("missing")).toStdString()));
        QVERIFY(!fileExists(std::string()));
        // What Browse warns about: anything a run would empty, hidden files included.
        QVERIFY(existsAsFile(file.toStdString()));
        QVERIFY(existsAsFile(hidden.toStdString()));
        QVERIFY(!existsAsFile(folder->path().toStdString()));
        QVERIFY(!existsAsFile(folder->filePath(QStringLiteral("missing")).toStdString()));
    }

    void startProgram_reportsWhatCannotStart() {
        QVERIFY(!startProgram(std::string()));
        QVERIFY(!startProgram(folder->filePath(QStringLiteral("missing")).toStdString()));
        QVERIFY(!startProgram(folder->path().toStdString()));
        const QString marker = folder->filePath(QStringLiteral("ran"));
        QVERIFY(startProgram(
            writeTool(folder->filePath(QStringLiteral("ok")), marker).toStdString()));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
    }

    void urlOpener_canBeReplaced() {
        struct Fake : UrlOpener {
            int open(const std::string&) override { return 5; }
        } fake;
        setUrlOpener(&fake);
        QCOMPARE(urlOpener().open("https://x.example/"), 5);
        frmAbout about(nullptr);
        QCOMPARE(about.HyprLnk(QStringLiteral("https://x.example/")), 5);  // passed through
        setUrlOpener(nullptr);
        QVERIFY(&urlOpener() != &fake);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestSysInfo sysInfo;
    TestLinuxServices services;
    return QTest::qExec(&sysInfo, argc, argv) | QTest::qExec(&services, argc, argv);
}

#include "sysinfo_qt_test.moc"
