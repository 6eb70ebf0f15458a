#pragma once
#include "platform/camera_library.h"
#include "platform/capture_devices.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace sim {

// Calls of one device that can be made to fail. Statuses are what the
// vendor library returns; 0 lets the call succeed.
struct SimDeviceFaults {
    bool storageBind = false;     // property bag cannot be bound while enumerating
    bool filterBind = false;      // the capture filter cannot be bound while enumerating
    bool propertiesBind = false;  // property bag cannot be bound when read later
    bool devicePathLost = false;  // "DevicePath" reads fail after enumeration saw it
    long deviceInit = 0;
    long versionGet = 0;
    long updateFwUms = 0;
    // Length FicVersionGet reports instead of the block's own, to imitate a
    // library that answers nonsense (negative, or more than the buffer).
    std::optional<int> reportedLength;
};

// One simulated video-input device as attached to the machine.
struct SimDeviceSpec {
    QString friendlyName;
    bool friendlyNameReadable = true;
    bool hasDevicePath = true;
    QByteArray versionBlock;   // what FicVersionGet answers (0 to 43 bytes)
    SimDeviceFaults faults;
    QString usbPort{};         // the port it is plugged into; empty: unknown
    QString devicePath{};      // its "DevicePath" text; empty: not told
};

// What happened to one device, for tests to check references and calls.
struct SimDeviceCounters {
    int monikerRefs = 0;        // references handed out and not yet released
    int filterRefs = 0;
    int monikerReleases = 0;
    int filterReleases = 0;
    int deviceInitCalls = 0;
    int versionGetCalls = 0;
    int updateFwUmsCalls = 0;
};

// Simulated video-input devices, in attach order.
//
// A device keeps one moniker handle and one filter handle for its whole
// life; the handles stay known after detach, so a window still holding them
// can release them and any camera call on them fails cleanly.
class SimCaptureDevices : public platform::CaptureDevices {
public:
    SimCaptureDevices();
    ~SimCaptureDevices() override;

    // Attaches a device and returns its id, stable for its life.
    int attach(const SimDeviceSpec &spec);
    // Attaches a device that takes the place of `oldId` in the enumeration
    // order, as a device coming back on its port does; at the end when
    // `oldId` is unknown.
    int attachInPlaceOf(int oldId, const SimDeviceSpec &spec);
    // Detaches it; false when no device has that id.
    bool detach(int id);

    // The description of a device (attached or not) to change it in place; null for
    // an unknown id.
    SimDeviceSpec *device(int id);
    bool attached(int id) const;
    QVector<int> attachedIds() const;
    SimDeviceCounters counters(int id) const;
    // Releases of a handle that holds no reference, or that never was one.
    int badReleases() const { return m_badReleases; }
    // Sum of references held on all devices' monikers and filters.
    int referencesHeld() const;

    IMoniker *monikerOf(int id) const;
    IBaseFilter *filterOf(int id) const;
    // The device a filter handle belongs to; -1 when it is none of ours.
    int idOfFilter(IBaseFilter *filter) const;

    // Whole enumeration fails (no device enumerator or category).
    void setEnumerationFails(bool fails) { m_enumerationFails = fails; }
    int enumerations() const { return m_enumerations; }

    int enumerate(IMoniker **monikers, IBaseFilter **filters, int slots) override;
    platform::DeviceProperties readProperties(IMoniker *moniker) override;
    void release(IMoniker *moniker) override;
    void release(IBaseFilter *filter) override;

private:
    friend class SimCameraLibrary;
    struct Device;
    Device *find(int id) const;
    Device *findMoniker(IMoniker *moniker) const;
    Device *findFilter(IBaseFilter *filter) const;

    std::map<int, std::unique_ptr<Device>> m_devices;  // by id
    std::vector<int> m_order;                          // ids in enumeration order
    int m_nextId = 1;
    int m_badReleases = 0;
    int m_enumerations = 0;
    bool m_enumerationFails = false;
};

// Simulated vendor library, answering for the devices of a SimCaptureDevices.
// A call succeeds only for an attached device whose filter reference is held.
class SimCameraLibrary : public platform::CameraLibrary {
public:
    void setDevices(SimCaptureDevices *devices) { m_devices = devices; }

    long deviceInit(IBaseFilter *filter, unsigned long *context) override;
    long versionGet(IBaseFilter *filter, unsigned long context,
                    unsigned char *block, int *length) override;
    long updateFwUms(IBaseFilter *filter, unsigned long context) override;

    // Device ids whose switch to mass storage reached the camera (past the
    // injected faults), in order.
    QVector<int> updateRequests() const { return m_updateRequests; }
    // Calls on a handle that is not usable (unknown, detached, released).
    int unusableHandleCalls() const { return m_unusableHandleCalls; }
    // Calls whose context was not the one FicDeviceInit last gave.
    int contextMismatches() const { return m_contextMismatches; }

    // What the camera does when told to switch; its result is the status.
    // Unset: the request is only recorded and succeeds.
    std::function<long(int deviceId)> onUpdateFwUms;

    static constexpr long UnusableHandle = -2;
    static constexpr long WrongContext = -3;

private:
    SimCaptureDevices::Device *usable(IBaseFilter *filter);

    SimCaptureDevices *m_devices = nullptr;
    QVector<int> m_updateRequests;
    int m_unusableHandleCalls = 0;
    int m_contextMismatches = 0;
    unsigned long m_nextContext = 0x1000;
};

} // namespace sim
