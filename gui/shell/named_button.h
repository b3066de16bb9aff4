// A push button with its caption and the object name that tests and users find it by.
#pragma once

#include <QPushButton>
#include <QString>

namespace tamsel {

inline QPushButton* MakeButton(const QString& caption, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace tamsel
