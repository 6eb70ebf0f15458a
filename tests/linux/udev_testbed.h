#pragma once
// A umockdev test bed: while one exists, libudev and /sys in this process see
// only the devices added here (the test runs under umockdev-wrapper).
// Included before any Qt header: GIO names a struct member "signals".
#include <umockdev.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QVector>

#include <sys/stat.h>
#include <sys/sysmacros.h>

class UdevTestbed {
public:
    UdevTestbed() : m_bed(umockdev_testbed_new()) {}
    ~UdevTestbed() { g_object_unref(m_bed); }
    UdevTestbed(const UdevTestbed &) = delete;
    UdevTestbed &operator=(const UdevTestbed &) = delete;

    // Adds a device; `attributes` and `properties` alternate names and values.
    // Returns its sysfs path, empty when umockdev refused it.
    QByteArray add(const char *subsystem, const char *name, const QByteArray &parent,
                   QList<QByteArray> attributes, QList<QByteArray> properties)
    {
        QVector<gchar *> attrs, props;
        for (QByteArray &a : attributes)
            attrs << a.data();
        attrs << nullptr;
        for (QByteArray &p : properties)
            props << p.data();
        props << nullptr;
        gchar *path = umockdev_testbed_add_devicev(m_bed, subsystem, name,
                                                   parent.isEmpty() ? nullptr : parent.constData(),
                                                   attrs.data(), props.data());
        const QByteArray result(path);
        g_free(path);
        return result;
    }

    // Makes /sys/dev/block/MAJ:MIN of `device` point at `syspath`, as the
    // kernel does for a block device (umockdev files every "dev" as char).
    bool linkBlock(dev_t device, const QByteArray &syspath)
    {
        gchar *sys = umockdev_testbed_get_sys_dir(m_bed);
        const QString root = QFile::decodeName(sys);
        g_free(sys);
        const QString dir = root + QStringLiteral("/dev/block");
        if (!QDir().mkpath(dir))
            return false;
        const QString link = dir + QStringLiteral("/%1:%2").arg(major(device)).arg(minor(device));
        // Relative, as the kernel's: libudev takes only what resolves inside /sys.
        const QString target = QStringLiteral("../..") + QFile::decodeName(syspath.mid(4));
        QFile::remove(link);
        return QFile::link(target, link);
    }

    // Announces `action` ("add", "remove", ...) for a device, as udev would.
    void uevent(const QByteArray &syspath, const char *action)
    {
        umockdev_testbed_uevent(m_bed, syspath.constData(), action);
    }
    // Takes a device out of the test bed (without announcing it).
    void remove(const QByteArray &syspath) { umockdev_testbed_remove_device(m_bed, syspath.constData()); }

    // True when the process runs with umockdev's library preloaded, without
    // which the test bed is invisible to libudev.
    static bool active() { return qgetenv("LD_PRELOAD").contains("umockdev"); }

private:
    UMockdevTestbed *m_bed;
};
