#pragma once
#include "support/sim_fixture.h"

// Boxes as one line each, "Title: text [icon, buttons, on parent]", so a test compares what the operator
// saw in one go. A default button shows as a fault: no box of the tool has one.
inline QString boxLines(const QVector<SeenBox> &boxes)
{
    QString out;
    for (const SeenBox &b : boxes)
        out += QString("%1: %2 [%3, %4%5, on %6]\n").arg(b.title, b.text,
            b.icon == QMessageBox::Warning ? "warning"
                : b.icon == QMessageBox::Information ? "information" : "other icon",
            b.buttons == QMessageBox::Ok ? QString("OK") : QString::number(b.buttons, 16),
            b.hasDefault ? " (default)" : "", b.parentName);
    return out;
}
