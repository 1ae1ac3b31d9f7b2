// The one place where the program shows a message box. Every window goes through it so that tests
// can record the boxes (text, title, icon) instead of answering a modal loop.
#pragma once

#include <QString>

#include <functional>

#include "engine/report.h"

class QWidget;

namespace trelvo::qt {

class MessageBoxes {
public:
    // Shows a modal box with an OK button only. A carriage return in the text starts a new line;
    // an empty title shows the program title.
    static void show(QWidget* parent, const Report& report);

    // Tests install a recorder; while one is installed no real box appears.
    using Recorder = std::function<void(QWidget* parent, const Report& report)>;
    static void setRecorder(Recorder recorder);

    // The reporter the engine is handed when it runs under a window.
    static Reporter reporterFor(QWidget* parent);
};

}  // namespace trelvo::qt
