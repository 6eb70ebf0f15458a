#pragma once
#include "platform/device_events.h"
#include "platform/sim/sim_capture.h"
#include "platform/sim/sim_volumes.h"

#include <QString>
#include <map>

namespace sim {

class SimWorld;

// Plugs things into the simulated machine and out again, and announces each
// change through the world's notifier as the OS would.
//
// A volume is announced by default with its mount point (its real directory,
// unit mask 0): that is the identity the tool can open and write to on any
// host. Announcing it by drive letter instead gives the Windows-shaped record,
// whose drive root "E:\" exists only on Windows.
class SimDevices {
public:
    enum Identity { ByMountPoint, ByLetter };

    explicit SimDevices(SimWorld &world);

    // Mounts and announces a volume; returns its id in world.volumes, or -1.
    // A volume described without a USB port is plugged into a free one.
    int plugVolume(const SimVolumeSpec &spec, Identity identity = ByMountPoint);
    // Unmounts it (the directory vanishes) and announces the removal the same
    // way as the arrival was announced. False for an unknown id.
    bool unplugVolume(int volumeId);

    // Attaches a capture device and announces its device interface in the
    // capture class. Any capture device, a camera or not. One described without a
    // USB port is plugged into a free one; its device path is the interface
    // name unless its description names one. Returns a plug id.
    int plugCapture(const SimDeviceSpec &spec);
    bool unplugCapture(int plugId);
    QString captureInterfaceName(int plugId) const;
    // The device id (in world.capture) of a plugged capture device; -1 when unknown.
    int captureDeviceId(int plugId) const;
    // A USB port nothing has been plugged into yet: "1-1", "1-2", ...
    QString freePort();

    // Raw announcements, as a backend decodes them.
    void announceVolume(platform::DeviceEvent::Type type, quint32 unitMask, quint16 flags = 0);
    void announceMountPoint(platform::DeviceEvent::Type type, const QString &mountPoint);
    void announceInterface(platform::DeviceEvent::Type type, const QString &interfaceName);

    static quint32 maskOf(QChar letter);

private:
    struct Capture { int deviceId; QString name; };

    SimWorld &m_world;
    std::map<int, Identity> m_volumeIdentity;
    std::map<int, Capture> m_captures;
    int m_nextPlug = 1;
    int m_nextPort = 1;
};

} // namespace sim
