#pragma once
#include "platform/sim/sim_world.h"
#include "platform/sim/virtual_clock.h"

#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <functional>

// A simulated machine on virtual time, installed as the tool's platform.
struct SimFixture {
    SimFixture() : world(&clock) { world.install(); }
    sim::VirtualClock clock;
    sim::SimWorld world;
};

// One message box as the operator saw it.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    int buttons;          // QMessageBox::StandardButtons
    bool hasDefault;
    QString parentName;   // object name of the parent window
};

// Closes every modal message box as soon as it shows, recording it.
class BoxCloser : public QObject {
public:
    BoxCloser();
    QVector<SeenBox> boxes;
    // Called with each box before it is closed (still open, still modal).
    std::function<void(const SeenBox &)> onBox;

private:
    QTimer m_timer;
};

// Captures the debug trace (qDebug) while alive.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    struct Line { QString text; QString file; int line; QString function; };
    QVector<Line> detailed() const;
    QStringList lines() const;
};
