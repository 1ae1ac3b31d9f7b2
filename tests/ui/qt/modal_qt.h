// Helpers for driving modal windows from a test: the windows run their own event loop (exec), so
// the checks are queued to run inside it.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>

// Runs act on the modal window of type W as soon as its event loop starts, then closes that
// window if act left it open, so a failed check cannot leave the test waiting forever.
template <class W>
void onNextModal(std::function<void(W*)> act) {
    QTimer::singleShot(0, [act] {
        QPointer<W> window = qobject_cast<W*>(QApplication::activeModalWidget());
        if (window.isNull()) {
            QFAIL("the expected modal window is not open");
        }
        act(window.data());
        if (!window.isNull() && window->isVisible()) {
            window->done(QDialog::Rejected);
        }
    });
}

// Clicks at the centre of widget the way the windowing system delivers a click, so that a
// window blocked by a modal one ignores it (QTest::mouseClick on a widget would bypass that).
inline void systemClick(QWidget* widget) {
    QWindow* handle = widget->window()->windowHandle();
    const QPoint at = widget->mapTo(widget->window(), widget->rect().center());
    QTest::mouseClick(handle, Qt::LeftButton, Qt::NoModifier, at);
}
