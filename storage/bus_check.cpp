#include "storage/bus_check.h"
#include "app/message_box.h"
#include "app/tarnholm.h"
#include "platform/platform.h"


namespace {

// A freshly announced volume may not be openable yet.
constexpr int kOpenRetries = 10;
constexpr int kOpenRetryDelayMs = 1000;

void showError(QWidget *parent, const QString &text)
{
    showMessageBox(parent, QMessageBox::Information, QString::fromLocal8Bit("Error"), text);
}

} // namespace

QString VolumePathForDrive(QChar drive)
{
    QString path = QString::fromLocal8Bit("\\\\.\\X:");
    path[4] = drive;
    return path;
}

bool IsUsbVolume(QWidget *boxParent, const QString &volumePath)
{
    platform::VolumeBus *bus = platform::current().volumes;
    quint32 error = 0;
    platform::VolumeHandle handle = bus->open(volumePath, &error);
    for (int retriesLeft = kOpenRetries; handle == platform::InvalidVolume; --retriesLeft) {
        if (retriesLeft == 0) {
            showError(boxParent,
                      QString::fromLocal8Bit("CreateFile error. Error code(%1), Path[%2]")
                          .arg(QString::number(error), volumePath));
            return false;
        }
        platform::current().clock->sleepMs(kOpenRetryDelayMs);
        handle = bus->open(volumePath, &error);
    }

    int busType = 0;
    if (!bus->queryBusType(handle, &busType, &error)) {
        bus->close(handle);
        showError(boxParent, QString::fromLocal8Bit("DeviceIoControl error. Error code : %1")
                                 .arg(error, 0, 10, QLatin1Char('0')));
        return false;
    }
    bus->close(handle);
    return busType == platform::VolumeBus::BusTypeUsb;
}

bool Tarnholm::IsUsbMassStorage(QChar drive)
{
    return IsUsbVolume(this, VolumePathForDrive(drive));
}
