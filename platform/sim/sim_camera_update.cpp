#include "platform/sim/sim_camera_update.h"
#include "platform/capture_category.h"
#include "platform/gui_thread.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_firmware.h"
#include "platform/sim/sim_world.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace sim {

namespace {

// The device path it was plugged in with, else one of a USB video device's shape.
QString interfaceNameOf(const SimDeviceSpec &spec, int deviceId)
{
    if (!spec.devicePath.isEmpty())
        return spec.devicePath;
    // Shaped like a USB video device's interface path; the GUID is the class.
    return QStringLiteral("\\\\?\\USB#VID_2E4F&PID_0C01#OSTREL%1#%2\\GLOBAL")
        .arg(deviceId, 4, 10, QLatin1Char('0'))
        .arg(QLatin1String(platform::kCaptureCategoryText));
}

} // namespace

struct SimCameraUpdate::Run {
    int deviceId = -1;
    SimDeviceSpec spec;       // the camera as it was asked to switch
    int volumeId = -1;
    QString directory;        // the drive's real directory
    bool pulled = false;      // the drive went during the copy
};

SimCameraUpdate::SimCameraUpdate(SimWorld &world, SimDevices &devices)
    : m_world(world), m_devices(devices), m_alive(std::make_shared<bool>(true))
{
    m_world.camera.onUpdateFwUms = [this](int deviceId) { return request(deviceId); };
    m_world.files.onFlush = [this]() { pullDuringCopy(); };
}

SimCameraUpdate::~SimCameraUpdate()
{
    *m_alive = false;
    m_world.camera.onUpdateFwUms = nullptr;
    m_world.files.onFlush = nullptr;
}

int SimCameraUpdate::driveId() const
{
    return m_current && m_world.volumes.mounted(m_current->volumeId) ? m_current->volumeId : -1;
}

long SimCameraUpdate::request(int deviceId)
{
    const SimDeviceSpec *spec = m_world.capture.device(deviceId);
    if (!spec)
        return 1;
    auto run = std::make_shared<Run>();
    run->deviceId = deviceId;
    run->spec = *spec;
    m_current = run;
    after(timings.leaveMs, &SimCameraUpdate::leave, run);
    enter(Phase::Switching);
    return 0;
}

void SimCameraUpdate::after(int ms, void (SimCameraUpdate::*step)(std::shared_ptr<Run>),
                            std::shared_ptr<Run> run)
{
    std::weak_ptr<bool> alive = m_alive;
    m_world.clock().schedule(ms, [this, alive, step, run]() {
        if (!alive.expired())
            (this->*step)(run);
    });
}

void SimCameraUpdate::leave(std::shared_ptr<Run> run)
{
    m_world.capture.detach(run->deviceId);
    m_devices.announceInterface(platform::DeviceEvent::RemoveComplete,
                                interfaceNameOf(run->spec, run->deviceId));
    if (fault == Fault::DriveNeverArrives)
        return;
    after(timings.driveArrivalMs, &SimCameraUpdate::arrive, run);
}

void SimCameraUpdate::arrive(std::shared_ptr<Run> run)
{
    if (fault == Fault::DriveNeverArrives)
        return;
    SimVolumeSpec volume;
    volume.busType = platform::VolumeBus::BusTypeUsb;
    volume.usbPort = run->spec.usbPort;
    run->volumeId = m_devices.plugVolume(volume);
    if (run->volumeId < 0)
        return;
    run->directory = m_world.volumes.directory(run->volumeId);
    enter(Phase::DriveMounted);
    poll(run);
}

void SimCameraUpdate::poll(std::shared_ptr<Run> run)
{
    if (run->pulled || !m_world.volumes.mounted(run->volumeId))
        return;
    const QDir drive(run->directory);
    if (QFileInfo(drive.filePath(QStringLiteral("update"))).isDir()
        && QFileInfo(drive.filePath(QStringLiteral("fw.bin"))).isFile()) {
        QFile file(drive.filePath(QStringLiteral("fw.bin")));
        QByteArray image;
        if (file.open(QIODevice::ReadOnly))
            image = file.readAll();
        if (onFlash)
            onFlash(image);
        // Anything but one of our images leaves the camera's firmware as it was.
        QByteArray block;
        if (parseFirmwareImage(image, &block))
            run->spec.versionBlock = block;
        if (fault != Fault::DriveNeverLeaves)
            after(timings.flashMs, &SimCameraUpdate::dropDrive, run);
        enter(Phase::Flashing);
        return;
    }
    after(timings.pollMs, &SimCameraUpdate::poll, run);
}

void SimCameraUpdate::dropDrive(std::shared_ptr<Run> run)
{
    if (m_world.volumes.mounted(run->volumeId))
        m_devices.unplugVolume(run->volumeId);
    if (fault != Fault::CameraNeverReturns)
        after(timings.rebootMs, &SimCameraUpdate::comeBack, run);
    enter(Phase::Rebooting);
}

void SimCameraUpdate::comeBack(std::shared_ptr<Run> run)
{
    if (fault == Fault::CameraNeverReturns)
        return;
    SimDeviceSpec spec = run->spec;
    if (fault == Fault::ReturnsUnderAnotherName)
        spec.friendlyName = otherName;
    const int id = m_world.capture.attachInPlaceOf(run->deviceId, spec);
    m_devices.announceInterface(platform::DeviceEvent::Arrival, interfaceNameOf(spec, id));
    if (m_current == run) {
        m_current.reset();
        enter(Phase::Idle);
    }
    if (onReturned)
        onReturned(id);
}

void SimCameraUpdate::pullDuringCopy()
{
    if (fault != Fault::DriveLeavesDuringCopy)
        return;
    std::weak_ptr<bool> alive = m_alive;
    std::shared_ptr<bool> pulled = std::make_shared<bool>(false);
    platform::runOnGuiThreadAndWait([this, alive, pulled]() {
        if (alive.expired())
            return;
        // Only a file being written onto this camera's drive counts.
        std::shared_ptr<Run> run = m_current;
        if (!run || run->pulled || !m_world.volumes.mounted(run->volumeId)
            || !QFileInfo(QDir(run->directory).filePath(QStringLiteral("fw.bin"))).exists())
            return;
        // The camera gives up on the broken transfer and reboots unchanged.
        run->pulled = true;
        *pulled = true;
        dropDrive(run);
    });
    // Hold the copy until the window has seen the drive go, so it does so
    // while the copy is still running. Data cannot be committed to a pulled
    // drive: the flush fails as it would on a real system.
    if (*pulled) {
        m_world.files.failNextFlush = true;
        platform::runOnGuiThreadAndWait([]() {});
    }
}

void SimCameraUpdate::enter(Phase phase)
{
    m_phase = phase;
    if (onPhase)
        onPhase(phase);
}

} // namespace sim
