#pragma once
#include "platform/sim/sim_capture.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_file_io.h"
#include "platform/sim/sim_keep_awake.h"
#include "platform/sim/sim_notifier.h"
#include "platform/sim/sim_volumes.h"

#include <QObject>

namespace sim {

// Everything a simulated machine offers the tool: capture devices, the
// vendor library, volumes, device notifications, files, the
// keep-awake hold and time.
class SimWorld : public QObject {
    Q_OBJECT
public:
    explicit SimWorld(SimClock *clock, QObject *parent = nullptr);
    // Makes this world the platform the tool runs on.
    void install();

    SimClock &clock() { return *m_clock; }

    SimCaptureDevices capture;
    SimCameraLibrary camera;
    SimNotifier notifier;
    SimVolumeBus volumes;
    SimFileIo files;
    SimKeepAwake awake;

private:
    SimClock *m_clock;
};

} // namespace sim
