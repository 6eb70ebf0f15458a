#include "platform/linux/linux_camera_library.h"

#include "platform/linux/linux_capture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace platform {

namespace {

QString programFolder()
{
    // The executable's own path, whoever started it and from wherever.
    const QFileInfo exe(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    return exe.absolutePath();
}

QStringList systemFolders()
{
    QStringList folders;
#ifdef TARNHOLM_LIBRARY_ARCH
    const QString arch = QStringLiteral(TARNHOLM_LIBRARY_ARCH);
#else
    const QString arch;
#endif
    for (const char *base : {"/usr/local/lib", "/usr/lib", "/lib"}) {
        if (!arch.isEmpty())
            folders << QString::fromLatin1(base) + QLatin1Char('/') + arch;
        folders << QString::fromLatin1(base);
    }
    return folders;
}

} // namespace

LinuxCameraLibrary::LinuxCameraLibrary(const QString &folder)
{
    if (!folder.isEmpty()) {
        m_folders << QDir(folder).absolutePath();
    } else {
        const QString own = programFolder();
        if (!own.isEmpty() && QDir::isAbsolutePath(own))
            m_folders << own;
        m_folders << systemFolders();
    }
}

LinuxCameraLibrary::~LinuxCameraLibrary()
{
    if (m_module)
        ::dlclose(m_module);
}

long LinuxCameraLibrary::load()
{
    if (m_module)
        return 0;
    // Tried again on every call: the operator may install the library while
    // the tool is open. Only absolute paths reach dlopen, so neither the
    // working folder nor LD_LIBRARY_PATH can slip another copy in.
    void *module = nullptr;
    for (const QString &folder : m_folders) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(fileName()));
        if (!QDir::isAbsolutePath(path) || !QFileInfo::exists(path))
            continue;
        module = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (module)
            break;
    }
    if (!module)
        return NotFound;
    const bool complete = m_entry.resolve([module](const char *name) {
        return reinterpret_cast<Entry::AnyFn>(::dlsym(module, name));
    });
    if (!complete) {
        ::dlclose(module);
        return MissingFunction;
    }
    m_module = module;
    return 0;
}

long LinuxCameraLibrary::deviceInit(IBaseFilter *filter, unsigned long *context)
{
    const QByteArray device = LinuxCaptureDevices::devicePath(filter);
    if (device.isEmpty())
        return NoDevice;
    const long status = load();
    return status != 0 ? status : m_entry.deviceInit(device.constData(), context);
}

long LinuxCameraLibrary::versionGet(IBaseFilter *filter, unsigned long context,
                                    unsigned char *block, int *length)
{
    const QByteArray device = LinuxCaptureDevices::devicePath(filter);
    if (device.isEmpty())
        return NoDevice;
    const long status = load();
    return status != 0 ? status : m_entry.versionGet(device.constData(), context, block, length);
}

long LinuxCameraLibrary::updateFwUms(IBaseFilter *filter, unsigned long context)
{
    const QByteArray device = LinuxCaptureDevices::devicePath(filter);
    if (device.isEmpty())
        return NoDevice;
    const long status = load();
    return status != 0 ? status : m_entry.updateFwUms(device.constData(), context);
}

} // namespace platform
