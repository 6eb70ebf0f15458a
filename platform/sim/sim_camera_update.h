#pragma once
#include "platform/sim/sim_capture.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace sim {

class SimDevices;
class SimWorld;

// What a simulated camera does once the tool asks it to switch to mass
// storage: it leaves as a video device, its drive arrives, it flashes the
// "fw.bin" found beside a directory "update", drops the drive, reboots and
// comes back as a video device running the flashed image (sim_firmware.h).
// Its drive is plugged into the camera's own USB port, and it comes back on
// that port, in its old place among the capture devices, as a real camera
// does. Every delay runs on the world's clock. Used on the GUI thread.
class SimCameraUpdate {
public:
    enum class Fault {
        None,
        DriveNeverArrives,
        DriveNeverLeaves,
        DriveLeavesDuringCopy,   // pulled at the first flush of a file on it
        CameraNeverReturns,
        ReturnsUnderAnotherName,
    };

    struct Timings {
        int leaveMs = 200;          // request accepted -> gone as a video device
        int driveArrivalMs = 1500;  // gone -> drive arrives
        int pollMs = 200;           // how often the camera looks for "update"
        int flashMs = 5000;         // "update" seen -> drive leaves
        int rebootMs = 4000;        // drive gone -> back as a video device
    };

    // Takes over the world's answer to FicUpdateFwUms for every device.
    SimCameraUpdate(SimWorld &world, SimDevices &devices);
    ~SimCameraUpdate();

    Timings timings;
    // Read at each step, so it may change while an update runs.
    Fault fault = Fault::None;
    QString otherName = QStringLiteral("Ostrel Camera (recovery)");

    // Called with the content of "fw.bin" when the camera starts flashing.
    std::function<void(const QByteArray &fwBin)> onFlash;
    // Called with the new device id when a camera is back as a video device.
    std::function<void(int deviceId)> onReturned;

    enum class Phase { Idle, Switching, DriveMounted, Flashing, Rebooting };
    // Where the update in progress stands (Idle when none runs).
    Phase phase() const { return m_phase; }
    // Called each time the phase changes, once the camera has made the change.
    std::function<void(Phase)> onPhase;

    // The id of the drive (in world.volumes) of the update in progress; -1
    // when no drive is present.
    int driveId() const;

private:
    struct Run;
    long request(int deviceId);
    // Runs `step` after `ms` of world time, unless this object is gone by then.
    void after(int ms, void (SimCameraUpdate::*step)(std::shared_ptr<Run>),
               std::shared_ptr<Run> run);
    void leave(std::shared_ptr<Run> run);
    void arrive(std::shared_ptr<Run> run);
    void poll(std::shared_ptr<Run> run);
    void dropDrive(std::shared_ptr<Run> run);
    void comeBack(std::shared_ptr<Run> run);
    void pullDuringCopy();
    void enter(Phase phase);

    SimWorld &m_world;
    SimDevices &m_devices;
    std::shared_ptr<Run> m_current;
    Phase m_phase = Phase::Idle;
    // Cleared on destruction so that scheduled steps left behind do nothing.
    std::shared_ptr<bool> m_alive;
};

} // namespace sim
