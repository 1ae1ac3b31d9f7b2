// Stands in for the main window: an owner with a button that shows the Help window the way the
// main window's Help button does, and a button that counts clicks to show whether it takes input.
#pragma once

#include <QPushButton>
#include <QWidget>

#include "infowin/frmHelp_qt.h"

class Owner : public QWidget {
public:
    Owner() {
        setWindowTitle(QStringLiteral("Owner"));
        setGeometry(200, 150, 480, 420);
        help->setGeometry(20, 20, 100, 30);
        counter->setGeometry(20, 70, 100, 30);
        connect(help, &QPushButton::clicked, this, [this] { trelvo::qt::frmHelp::showModal(this); });
        connect(counter, &QPushButton::clicked, this, [this] { ++clicks; });
    }

    QPushButton* const help = new QPushButton(QStringLiteral("Help"), this);
    QPushButton* const counter = new QPushButton(QStringLiteral("Count"), this);
    int clicks = 0;
};
