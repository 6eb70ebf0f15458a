#pragma once
#include "support/sim_fixture.h"

// Boxes as one line each, "Title: text [icon, buttons, parent]", so a test
// compares what the operator saw in one go. A default button shows as a
// fault: every box of the tool has none.
inline QString boxLines(const QVector<SeenBox> &boxes)
{
    QString out;
    for (const SeenBox &b : boxes) {
        const char *icon = b.icon == QMessageBox::Warning ? "warning"
            : b.icon == QMessageBox::Information         ? "information" : "other icon";
        const QString buttons =
            b.buttons == QMessageBox::Ok ? QStringLiteral("OK") : QString::number(b.buttons, 16);
        const QString defaultMark = b.hasDefault ? QStringLiteral(" (default)") : QString();
        out += QString("%1: %2 [%3, %4%5, on %6]\n")
                   .arg(b.title, b.text, QLatin1String(icon), buttons, defaultMark, b.parentName);
    }
    return out;
}
