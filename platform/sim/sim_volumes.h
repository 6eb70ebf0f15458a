#pragma once
#include "platform/volume_bus.h"

#include <QChar>
#include <QHash>
#include <QString>
#include <QTemporaryDir>
#include <QVector>
#include <map>
#include <memory>

namespace sim {

// How one simulated volume behaves towards the bus check.
struct SimVolumeSpec {
    QChar letter;                    // drive letter; null when it has none
    int busType = platform::VolumeBus::BusTypeUsb;
    int failingOpens = 0;            // opens that fail before the first success
    bool neverOpens = false;
    QVector<quint32> openErrors{21}; // code of the n-th failed open; the last repeats
    quint32 queryError = 0;          // non-zero: the descriptor query fails with it
    QString usbPort{};               // the port its disk is plugged into; empty: unknown
};

// Simulated volumes. Each mounted volume is a real, initially empty directory
// that the tool can write to; it can be opened by its device path ("\\.\E:")
// when it has a letter, and always by its directory (its mount point).
// Used on the GUI thread only.
class SimVolumeBus : public platform::VolumeBus {
public:
    static constexpr quint32 ErrorFileNotFound = 2;
    static constexpr quint32 ErrorDeviceNotConnected = 1167;

    // Returns the new volume's id, or -1 when its directory cannot be made.
    int mount(const SimVolumeSpec &spec);
    // The directory and everything in it vanish. False for an unknown id.
    bool unmount(int id);
    bool mounted(int id) const;
    // Native separators, no trailing separator.
    QString directory(int id) const;
    // "\\.\E:" for a volume with a letter; empty otherwise.
    QString devicePath(int id) const;
    // Behaviour of a mounted volume, changeable while it is mounted.
    SimVolumeSpec *spec(int id);

    int openCalls() const { return m_openCalls; }
    int openCalls(const QString &volumePath) const { return m_openCallsByPath.value(volumePath); }
    int closeCalls() const { return m_closeCalls; }
    int queryCalls() const { return m_queryCalls; }
    int openHandles() const { return int(m_handles.size()); }
    void resetCounts();

    platform::VolumeHandle open(const QString &volumePath, quint32 *error) override;
    bool queryBusType(platform::VolumeHandle handle, int *busType, quint32 *error) override;
    void close(platform::VolumeHandle handle) override;
    QString usbPort(const QString &volumePath) override;

private:
    struct Volume {
        SimVolumeSpec spec;
        std::unique_ptr<QTemporaryDir> dir;
        int failedOpens = 0;
    };
    int findVolume(const QString &volumePath) const;

    std::map<int, Volume> m_volumes;
    std::map<platform::VolumeHandle, int> m_handles;   // handle -> volume id
    int m_nextVolume = 1;
    platform::VolumeHandle m_nextHandle = 100;
    int m_openCalls = 0;
    QHash<QString, int> m_openCallsByPath;
    int m_closeCalls = 0;
    int m_queryCalls = 0;
};

} // namespace sim
