#include "platform/sim/sim_devices.h"
#include "platform/capture_category.h"
#include "platform/sim/sim_world.h"

namespace sim {

using platform::DeviceEvent;

SimDevices::SimDevices(SimWorld &world) : m_world(world) {}

quint32 SimDevices::maskOf(QChar letter)
{
    const int bit = letter.toUpper().unicode() - 'A';
    return bit >= 0 && bit < 26 ? (1u << bit) : 0u;
}

QString SimDevices::freePort()
{
    return QStringLiteral("1-%1").arg(m_nextPort++);
}

int SimDevices::plugVolume(const SimVolumeSpec &spec, Identity identity)
{
    SimVolumeSpec plugged = spec;
    if (plugged.usbPort.isEmpty())
        plugged.usbPort = freePort();
    const int id = m_world.volumes.mount(plugged);
    if (id < 0)
        return -1;
    m_volumeIdentity[id] = identity;
    if (identity == ByLetter)
        announceVolume(DeviceEvent::Arrival, maskOf(spec.letter));
    else
        announceMountPoint(DeviceEvent::Arrival, m_world.volumes.directory(id));
    return id;
}

bool SimDevices::unplugVolume(int volumeId)
{
    auto it = m_volumeIdentity.find(volumeId);
    if (it == m_volumeIdentity.end())
        return false;
    const SimVolumeSpec *spec = m_world.volumes.spec(volumeId);
    const quint32 mask = spec ? maskOf(spec->letter) : 0;
    const QString mountPoint = m_world.volumes.directory(volumeId);
    const Identity identity = it->second;
    m_volumeIdentity.erase(it);
    if (!m_world.volumes.unmount(volumeId))
        return false;
    if (identity == ByLetter)
        announceVolume(DeviceEvent::RemoveComplete, mask);
    else
        announceMountPoint(DeviceEvent::RemoveComplete, mountPoint);
    return true;
}

int SimDevices::plugCapture(const SimDeviceSpec &spec)
{
    const int plug = m_nextPlug++;
    Capture capture;
    // Shaped like a USB video device's interface path; the GUID is the class.
    capture.name = QStringLiteral("\\\\?\\USB#VID_1234&PID_5678#%1#%2\\GLOBAL")
                       .arg(plug, 4, 10, QLatin1Char('0'))
                       .arg(QLatin1String(platform::kCaptureCategoryText));
    SimDeviceSpec plugged = spec;
    if (plugged.usbPort.isEmpty())
        plugged.usbPort = freePort();
    if (plugged.devicePath.isEmpty())
        plugged.devicePath = capture.name;
    capture.deviceId = m_world.capture.attach(plugged);
    m_captures[plug] = capture;
    announceInterface(DeviceEvent::Arrival, capture.name);
    return plug;
}

bool SimDevices::unplugCapture(int plugId)
{
    auto it = m_captures.find(plugId);
    if (it == m_captures.end())
        return false;
    const Capture capture = it->second;
    m_captures.erase(it);
    m_world.capture.detach(capture.deviceId);
    announceInterface(DeviceEvent::RemoveComplete, capture.name);
    return true;
}

QString SimDevices::captureInterfaceName(int plugId) const
{
    auto it = m_captures.find(plugId);
    return it == m_captures.end() ? QString() : it->second.name;
}

int SimDevices::captureDeviceId(int plugId) const
{
    auto it = m_captures.find(plugId);
    return it == m_captures.end() ? -1 : it->second.deviceId;
}

void SimDevices::announceVolume(DeviceEvent::Type type, quint32 unitMask, quint16 flags)
{
    DeviceEvent event;
    event.type = type;
    event.volume = true;
    event.unitMask = unitMask;
    event.volumeFlags = flags;
    m_world.notifier.deliver(event);
}

void SimDevices::announceMountPoint(DeviceEvent::Type type, const QString &mountPoint)
{
    DeviceEvent event;
    event.type = type;
    event.volume = true;
    event.mountPoint = mountPoint;
    m_world.notifier.deliver(event);
}

void SimDevices::announceInterface(DeviceEvent::Type type, const QString &interfaceName)
{
    DeviceEvent event;
    event.type = type;
    event.interfaceName = interfaceName;
    m_world.notifier.deliver(event);
}

} // namespace sim
