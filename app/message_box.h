#pragma once
#include <QMessageBox>
#include <QString>

// A modal box with the single button OK and no default button, shown on the
// calling (GUI) thread. Built by hand: the static QMessageBox functions make
// their OK the default button.
void showMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                    const QString &text);
