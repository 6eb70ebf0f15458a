#pragma once
// One window on a simulated camera machine and virtual clock, driven through
// whole updates from the outside: the Update click, the camera's own steps,
// the boxes the operator answers. Shared by the soak and the bad-input run.
#include "app/tarnholm.h"
#include "platform/sim/sim_camera_update.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_firmware.h"
#include "support/sim_fixture.h"

#include <QStringList>
#include <functional>
#include <memory>

class SimUpdateBench {
public:
    SimUpdateBench();
    ~SimUpdateBench();

    SimFixture sim;
    sim::SimDevices devices{sim.world};
    sim::SimCameraUpdate camera{sim.world, devices};
    std::unique_ptr<Tarnholm> window;
    BoxCloser boxes;

    // The firmware the listed camera runs (its version block).
    QByteArray running;

    // Brings the machine back to one "Ostrel Camera" running `running`, listed
    // and selected in the window, and no drive left mounted.
    bool resetCamera();

    struct Result {
        bool ended = false;
        QStringList boxes;        // "Title: text", sorted
        QString window;           // "bar B | stages S/U | buttons LFV"
        QString drive;            // what the drive held when last seen
        QByteArray flashed;       // fw.bin as the camera took it; empty when it flashed nothing
    };
    // Types `path`, clicks Update and runs the world until the update ends
    // (the stages back at 0 and `expectedBoxes` boxes seen) and the camera
    // has done all it was going to do.
    Result update(const QString &path, int expectedBoxes = 1);

    // The drive's files as "name (size)" and directories as "name/".
    static QString listing(const QString &directory);
    // Resident memory of this process, KiB.
    static qint64 residentKiB();

    // Before the QApplication: the offscreen platform unless one is chosen.
    static void chooseOffscreen();
    // After it: fw_info for queued calls; the tool's trace, which would drown
    // the figures, and the offscreen platform's note on every box go quiet.
    static void quietTrace();

private:
    bool runUntil(const std::function<bool()> &done);
    int m_boxesSeen = 0;
};
