#include "platform/sim/sim_volumes.h"

#include <QDir>

namespace sim {

int SimVolumeBus::mount(const SimVolumeSpec &spec)
{
    Volume volume;
    volume.spec = spec;
    volume.dir.reset(new QTemporaryDir(QDir::tempPath() + QStringLiteral("/tarnholm-volume-XXXXXX")));
    if (!volume.dir->isValid())
        return -1;
    const int id = m_nextVolume++;
    m_volumes[id] = std::move(volume);
    return id;
}

bool SimVolumeBus::unmount(int id)
{
    auto it = m_volumes.find(id);
    if (it == m_volumes.end())
        return false;
    it->second.dir->remove();
    m_volumes.erase(it);
    return true;
}

bool SimVolumeBus::mounted(int id) const { return m_volumes.count(id) != 0; }

QString SimVolumeBus::directory(int id) const
{
    auto it = m_volumes.find(id);
    return it == m_volumes.end() ? QString() : QDir::toNativeSeparators(it->second.dir->path());
}

QString SimVolumeBus::devicePath(int id) const
{
    auto it = m_volumes.find(id);
    if (it == m_volumes.end() || it->second.spec.letter.isNull())
        return QString();
    return QStringLiteral("\\\\.\\%1:").arg(it->second.spec.letter.toUpper());
}

SimVolumeSpec *SimVolumeBus::spec(int id)
{
    auto it = m_volumes.find(id);
    return it == m_volumes.end() ? nullptr : &it->second.spec;
}

void SimVolumeBus::resetCounts()
{
    m_openCalls = 0;
    m_openCallsByPath.clear();
    m_closeCalls = 0;
    m_queryCalls = 0;
}

int SimVolumeBus::findVolume(const QString &volumePath) const
{
    const QString wanted = QDir::cleanPath(QDir::fromNativeSeparators(volumePath));
    for (const auto &entry : m_volumes) {
        const int id = entry.first;
        if (!devicePath(id).isEmpty() && devicePath(id).compare(volumePath, Qt::CaseInsensitive) == 0)
            return id;
        if (QDir::cleanPath(entry.second.dir->path()) == wanted)
            return id;
    }
    return -1;
}

platform::VolumeHandle SimVolumeBus::open(const QString &volumePath, quint32 *error)
{
    ++m_openCalls;
    ++m_openCallsByPath[volumePath];
    const int id = findVolume(volumePath);
    if (id < 0) {
        *error = ErrorFileNotFound;
        return platform::InvalidVolume;
    }
    Volume &volume = m_volumes[id];
    if (volume.spec.neverOpens || volume.failedOpens < volume.spec.failingOpens) {
        const QVector<quint32> &codes = volume.spec.openErrors;
        *error = codes.isEmpty() ? ErrorFileNotFound
                                 : codes.at(qMin(volume.failedOpens, codes.size() - 1));
        ++volume.failedOpens;
        return platform::InvalidVolume;
    }
    const platform::VolumeHandle handle = m_nextHandle++;
    m_handles[handle] = id;
    return handle;
}

bool SimVolumeBus::queryBusType(platform::VolumeHandle handle, int *busType, quint32 *error)
{
    ++m_queryCalls;
    auto h = m_handles.find(handle);
    auto volume = h == m_handles.end() ? m_volumes.end() : m_volumes.find(h->second);
    if (volume == m_volumes.end()) {
        *error = ErrorDeviceNotConnected;
        return false;
    }
    if (volume->second.spec.queryError != 0) {
        *error = volume->second.spec.queryError;
        return false;
    }
    *busType = volume->second.spec.busType;
    return true;
}

void SimVolumeBus::close(platform::VolumeHandle handle)
{
    ++m_closeCalls;
    m_handles.erase(handle);
}

QString SimVolumeBus::usbPort(const QString &volumePath)
{
    const int id = findVolume(volumePath);
    return id < 0 ? QString() : m_volumes.at(id).spec.usbPort;
}

} // namespace sim
