// Making the update window's and the message form's controls: each carries its control name
// as its object name, which is how tests and the rest of the program find it.
#pragma once

#include <QLabel>
#include <QPushButton>

inline QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter in a text box must not press a button of a dialog by itself.
    button->setAutoDefault(false);
    return button;
}

inline QLabel *makeLabel(const QString &name, const QString &caption, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}
