// The Qt widgets of a window made from its design records: the Qt class each kind of control is
// made as, and the widgets of one window, made in the window or in their frames and found again
// by record. The windows declare and bind their named members from their designs' control lists.
#pragma once

#include <QWidget>

#include <map>
#include <span>

#include "ui/windesign.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace trelvo::qt {

class LinkLabel;

template <design::Kind K, bool Divider = false>
struct WidgetClass;
template <>
struct WidgetClass<design::Kind::Label> {
    using type = QLabel;
};
template <>
struct WidgetClass<design::Kind::TextBox> {
    using type = QLineEdit;
};
template <>
struct WidgetClass<design::Kind::LockedText> {
    using type = QPlainTextEdit;
};
template <>
struct WidgetClass<design::Kind::Frame> {
    using type = QGroupBox;
};
template <>
struct WidgetClass<design::Kind::Frame, true> {
    using type = QFrame;
};
template <>
struct WidgetClass<design::Kind::Button> {
    using type = QPushButton;
};
template <>
struct WidgetClass<design::Kind::CheckBox> {
    using type = QCheckBox;
};
template <>
struct WidgetClass<design::Kind::Picture> {
    using type = QLabel;
};
template <>
struct WidgetClass<design::Kind::Link> {
    using type = LinkLabel;
};

// The class of the widget made from design record C.
template <const design::Control& C>
using WidgetOf = typename WidgetClass<C.kind, design::isDivider(C)>::type;

// A widget for a design record, not yet in any window's list: its class by kind, its caption or
// initial text, name, place, tool tip, initial state.
QWidget* makeWidget(const design::Control& c, QWidget* parent);

class DesignWidgets {
public:
    // Makes the controls in the order given, each in the window or in the frame its design names.
    void create(QWidget* window, std::span<const design::Control* const> controls);

    // The widget made from that record (nullptr when this window has none).
    QWidget* operator[](const design::Control& c) const {
        const auto found = widgets_.find(&c);
        return found != widgets_.end() ? found->second : nullptr;
    }

    // Points a window's named member at the widget made from its record.
    template <typename W>
    void bind(W*& member, const design::Control& c) const {
        member = static_cast<W*>((*this)[c]);
    }

private:
    std::map<const design::Control*, QWidget*> widgets_;
};

}  // namespace trelvo::qt
