#include "ui/qt/messagebox_qt.h"

#include <QMessageBox>

namespace trelvo::qt {

namespace {

MessageBoxes::Recorder& recorder() {
    static MessageBoxes::Recorder r;
    return r;
}

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
        case Icon::Warning: return QMessageBox::Warning;
        case Icon::Error: return QMessageBox::Critical;
        case Icon::Information: return QMessageBox::Information;
        case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void MessageBoxes::show(QWidget* parent, const Report& report) {
    if (recorder()) {
        recorder()(parent, report);
        return;
    }
    // Texts come from the engine as bytes; paths on Linux are UTF-8 (or close enough to show).
    QString text = QString::fromUtf8(report.text.data(), qsizetype(report.text.size()));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QString title = report.title.empty() ? QString::fromLatin1(kProgramTitle)
                                               : QString::fromUtf8(report.title.c_str());
    QMessageBox box(toQt(report.icon), title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(QStringLiteral("trelvoMessageBox"));
    box.exec();
}

void MessageBoxes::setRecorder(Recorder r) { recorder() = std::move(r); }

Reporter MessageBoxes::reporterFor(QWidget* parent) {
    return [parent](const Report& report) { show(parent, report); };
}

}  // namespace trelvo::qt
