#include "platform/sim/sim_capture.h"

#include <algorithm>
#include <cstring>

namespace sim {

struct SimCaptureDevices::Device {
    int id = 0;
    SimDeviceSpec spec;
    bool attached = true;
    SimDeviceCounters counters;
    // Only the addresses matter: they are the device's handles. Nobody ever
    // looks behind them, and they live as long as the SimCaptureDevices.
    char monikerTag = 0;
    char filterTag = 0;
    bool hasContext = false;
    unsigned long context = 0;

    IMoniker *moniker() { return reinterpret_cast<IMoniker *>(&monikerTag); }
    IBaseFilter *filter() { return reinterpret_cast<IBaseFilter *>(&filterTag); }
};

SimCaptureDevices::SimCaptureDevices() = default;
SimCaptureDevices::~SimCaptureDevices() = default;

int SimCaptureDevices::attach(const SimDeviceSpec &spec)
{
    std::unique_ptr<Device> device(new Device);
    device->id = m_nextId++;
    device->spec = spec;
    const int id = device->id;
    m_devices[id] = std::move(device);
    m_order.push_back(id);
    return id;
}

int SimCaptureDevices::attachInPlaceOf(int oldId, const SimDeviceSpec &spec)
{
    const int id = attach(spec);
    auto old = std::find(m_order.begin(), m_order.end(), oldId);
    if (old != m_order.end()) {
        m_order.pop_back();
        m_order.insert(old + 1, id);
    }
    return id;
}

bool SimCaptureDevices::detach(int id)
{
    Device *d = find(id);
    if (!d || !d->attached)
        return false;
    d->attached = false;
    return true;
}

SimDeviceSpec *SimCaptureDevices::device(int id)
{
    Device *d = find(id);
    return d ? &d->spec : nullptr;
}

bool SimCaptureDevices::attached(int id) const
{
    Device *d = find(id);
    return d && d->attached;
}

QVector<int> SimCaptureDevices::attachedIds() const
{
    QVector<int> ids;
    for (const int id : m_order) {
        if (find(id)->attached)
            ids.append(id);
    }
    return ids;
}

SimDeviceCounters SimCaptureDevices::counters(int id) const
{
    Device *d = find(id);
    return d ? d->counters : SimDeviceCounters();
}

int SimCaptureDevices::referencesHeld() const
{
    int held = 0;
    for (const auto &entry : m_devices)
        held += entry.second->counters.monikerRefs + entry.second->counters.filterRefs;
    return held;
}

IMoniker *SimCaptureDevices::monikerOf(int id) const
{
    Device *d = find(id);
    return d ? d->moniker() : nullptr;
}

IBaseFilter *SimCaptureDevices::filterOf(int id) const
{
    Device *d = find(id);
    return d ? d->filter() : nullptr;
}

int SimCaptureDevices::idOfFilter(IBaseFilter *filter) const
{
    Device *d = findFilter(filter);
    return d ? d->id : -1;
}

int SimCaptureDevices::enumerate(IMoniker **monikers, IBaseFilter **filters, int slots)
{
    ++m_enumerations;
    if (m_enumerationFails || !monikers || !filters)
        return -1;
    // Like DirectShow, an empty category yields no enumerator at all.
    if (attachedIds().isEmpty())
        return -1;

    int count = 0;
    for (const int id : m_order) {
        Device *d = find(id);
        if (!d->attached)
            continue;
        // Devices beyond the tables are not even bound.
        if (count >= slots)
            break;
        if (d->spec.faults.storageBind || !d->spec.hasDevicePath || d->spec.faults.filterBind)
            continue;
        monikers[count] = d->moniker();
        filters[count] = d->filter();
        ++d->counters.monikerRefs;
        ++d->counters.filterRefs;
        ++count;
    }
    return count;
}

platform::DeviceProperties SimCaptureDevices::readProperties(IMoniker *moniker)
{
    platform::DeviceProperties props;
    Device *d = findMoniker(moniker);
    if (!d || !d->attached || d->counters.monikerRefs == 0 || d->spec.faults.propertiesBind)
        return props;
    props.bound = true;
    props.hasFriendlyName = d->spec.friendlyNameReadable;
    if (props.hasFriendlyName) {
        const int nul = d->spec.friendlyName.indexOf(QChar(0));
        props.friendlyName = nul < 0 ? d->spec.friendlyName : d->spec.friendlyName.left(nul);
    }
    props.hasDevicePath = d->spec.hasDevicePath && !d->spec.faults.devicePathLost;
    if (props.hasDevicePath)
        props.devicePath = d->spec.devicePath;
    props.usbPort = d->spec.usbPort;
    return props;
}

void SimCaptureDevices::release(IMoniker *moniker)
{
    Device *d = findMoniker(moniker);
    if (!d || d->counters.monikerRefs == 0) {
        ++m_badReleases;
        return;
    }
    --d->counters.monikerRefs;
    ++d->counters.monikerReleases;
}

void SimCaptureDevices::release(IBaseFilter *filter)
{
    Device *d = findFilter(filter);
    if (!d || d->counters.filterRefs == 0) {
        ++m_badReleases;
        return;
    }
    --d->counters.filterRefs;
    ++d->counters.filterReleases;
}

SimCaptureDevices::Device *SimCaptureDevices::find(int id) const
{
    auto it = m_devices.find(id);
    return it == m_devices.end() ? nullptr : it->second.get();
}

SimCaptureDevices::Device *SimCaptureDevices::findMoniker(IMoniker *moniker) const
{
    for (const auto &entry : m_devices) {
        if (moniker && entry.second->moniker() == moniker)
            return entry.second.get();
    }
    return nullptr;
}

SimCaptureDevices::Device *SimCaptureDevices::findFilter(IBaseFilter *filter) const
{
    for (const auto &entry : m_devices) {
        if (filter && entry.second->filter() == filter)
            return entry.second.get();
    }
    return nullptr;
}

SimCaptureDevices::Device *SimCameraLibrary::usable(IBaseFilter *filter)
{
    SimCaptureDevices::Device *d = m_devices ? m_devices->findFilter(filter) : nullptr;
    if (!d || !d->attached || d->counters.filterRefs == 0) {
        ++m_unusableHandleCalls;
        return nullptr;
    }
    return d;
}

long SimCameraLibrary::deviceInit(IBaseFilter *filter, unsigned long *context)
{
    SimCaptureDevices::Device *d = usable(filter);
    if (!d)
        return UnusableHandle;
    ++d->counters.deviceInitCalls;
    if (!context)
        return WrongContext;
    if (d->spec.faults.deviceInit != 0)
        return d->spec.faults.deviceInit;
    d->context = m_nextContext++;
    d->hasContext = true;
    *context = d->context;
    return 0;
}

long SimCameraLibrary::versionGet(IBaseFilter *filter, unsigned long context,
                                  unsigned char *block, int *length)
{
    SimCaptureDevices::Device *d = usable(filter);
    if (!d)
        return UnusableHandle;
    ++d->counters.versionGetCalls;
    if (!d->hasContext || context != d->context || !block || !length) {
        ++m_contextMismatches;
        return WrongContext;
    }
    if (d->spec.faults.versionGet != 0)
        return d->spec.faults.versionGet;
    const QByteArray &answer = d->spec.versionBlock;
    // Never write past the room the caller announced.
    const int room = std::max(0, *length);
    const int n = std::min(room, static_cast<int>(answer.size()));
    if (n > 0)
        std::memcpy(block, answer.constData(), static_cast<size_t>(n));
    *length = d->spec.faults.reportedLength.value_or(static_cast<int>(answer.size()));
    return 0;
}

long SimCameraLibrary::updateFwUms(IBaseFilter *filter, unsigned long context)
{
    SimCaptureDevices::Device *d = usable(filter);
    if (!d)
        return UnusableHandle;
    ++d->counters.updateFwUmsCalls;
    if (!d->hasContext || context != d->context) {
        ++m_contextMismatches;
        return WrongContext;
    }
    if (d->spec.faults.updateFwUms != 0)
        return d->spec.faults.updateFwUms;
    m_updateRequests.append(d->id);
    return onUpdateFwUms ? onUpdateFwUms(d->id) : 0;
}

} // namespace sim
