#pragma once
#include <QString>
#include <QtGlobal>
#include <functional>

class QWidget;

namespace platform {

// A device-change notification in a form that no longer depends on the OS.
struct DeviceEvent {
    enum Type { Arrival, RemoveComplete };
    Type type = Arrival;
    // The record describes a storage volume. A plain volume has no flags.
    bool volume = false;
    quint16 volumeFlags = 0;       // 1: media (disc), 2: network drive
    quint32 unitMask = 0;          // bit 0 = drive A ... bit 25 = drive Z
    // Where drives have no letters, the volume is named by its mount point
    // instead of the unit mask (the mask is then 0).
    QString mountPoint;
    // Device-interface name of the record (empty for volume records).
    QString interfaceName;

    static constexpr quint16 MediaFlag = 1;
    static constexpr quint16 NetFlag = 2;
    bool plainVolume() const { return volume && volumeFlags == 0; }
};

using DeviceEventSink = std::function<void(const DeviceEvent &)>;

// Subscription to capture-device and volume arrival and removal.
class DeviceNotifier {
public:
    virtual ~DeviceNotifier() = default;
    // Subscribes `window` (created natively if needed). Events are handed to
    // `sink` on the window's thread. False when the subscription failed.
    virtual bool subscribe(QWidget *window, DeviceEventSink sink) = 0;
    // For backends whose events arrive as native window messages: turns one
    // message into an event. False for anything that is not an arrival or a
    // completed removal.
    virtual bool decodeNative(const QByteArray &eventType, void *message, DeviceEvent *event) = 0;
};

} // namespace platform
