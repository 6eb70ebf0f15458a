#include "app/message_box.h"
#include "app/tarnholm.h"
#include "platform/platform.h"
#include "storage/bus_check.h"
#include "update/update_state.h"

#include <QDebug>
#include <QDir>
#include <QTime>

using platform::DeviceEvent;

namespace {

// The arrived volume as the operator and the worker know it.
struct ArrivedVolume {
    QString drive;    // "E", or the mount point where drives have no letters
    QString root;     // "E:\", or the mount point ending in a separator
    QChar letter;     // null for a mount point
};

// False when the record names no drive at all: there is nothing to check.
bool identifyVolume(const DeviceEvent &event, ArrivedVolume *volume)
{
    if (event.unitMask == 0 && !event.mountPoint.isEmpty()) {
        volume->drive = event.mountPoint;
        volume->root = QDir::toNativeSeparators(event.mountPoint);
        if (!volume->root.endsWith(QDir::separator()))
            volume->root += QDir::separator();
        return true;
    }
    const char letter = DriveLetterFromMask(event.unitMask);
    if (letter == '[')
        return false;
    volume->letter = QLatin1Char(letter);
    volume->drive = QString(volume->letter);
    volume->root = volume->drive + QString::fromLocal8Bit(":\\");
    return true;
}

// The USB port of an arrived volume's disk; empty when unknown.
QString portOf(const DeviceEvent &event, const ArrivedVolume &volume)
{
    return platform::current().volumes->usbPort(volume.letter.isNull() ? event.mountPoint
                                                                       : VolumePathForDrive(volume.letter));
}

// Whether a removal record names the drive the firmware is copied onto.
bool namesDrive(const DeviceEvent &event, const QString &drive)
{
    if (drive.size() == 1) {
        const int bit = drive[0].unicode() - 'A';
        return bit >= 0 && bit < 26 && (event.unitMask & (1u << bit));
    }
    return !drive.isEmpty() && !event.mountPoint.isEmpty()
        && QDir::cleanPath(QDir::fromNativeSeparators(event.mountPoint))
               == QDir::cleanPath(QDir::fromNativeSeparators(drive));
}

void showTransferFailed(QWidget *parent)
{
    showMessageBox(parent, QMessageBox::Information, QString::fromLocal8Bit("Error"),
                   QString::fromLocal8Bit("Transfer Failed"));
}

} // namespace

void Tarnholm::HandleDeviceEvent(const DeviceEvent &event)
{
    // The stages are read at the moment each step runs: the bus check's boxes
    // run a nested event loop in which further events can be handled.
    if (event.type == DeviceEvent::Arrival) {
        ArrivedVolume volume;
        if (event.plainVolume() && identifyVolume(event, &volume)) {
            qDebug().nospace().noquote()
                << QString::fromLocal8Bit("USB_Arrived and The USBDisk is: ") + volume.drive;
            // Give a freshly mounted camera drive a moment before opening it.
            if (updateStage == WindowStage::AwaitingDrive)
                platform::current().clock->sleepMs(1000);
            const bool usb = volume.letter.isNull() ? IsUsbVolume(this, event.mountPoint)
                                                    : IsUsbMassStorage(volume.letter);
            if (!usb) {
                qDebug().nospace().noquote() << QString::fromLocal8Bit("This is not a usb mass storage");
            } else {
                qDebug().nospace().noquote() << QString::fromLocal8Bit("This is a usb mass storage");
                // While the camera's drive is awaited, a USB volume on another
                // port is someone's stick. Where a port is unknown, the first
                // USB volume is taken to be the camera's.
                if (updateStage == WindowStage::AwaitingDrive && !updateDeviceIdentity.usbPort.isEmpty()
                    && !onCameraPort(updateDeviceIdentity.usbPort, portOf(event, volume))) {
                    ui.EditInfo->append(
                        QString::fromLocal8Bit("Drive %1 is not on the camera's USB port; it is left alone.")
                            .arg(volume.drive));
                } else if (updateStage == WindowStage::AwaitingDrive) {
                    ui.EditInfo->append(QString::fromLocal8Bit("Write file to %1, %2")
                                            .arg(volume.drive,
                                                 QTime::currentTime().toString(Qt::TextDate)));
                    fw_info info;
                    info.fw_file = firmwareSnapshot.path();
                    info.disk_path = volume.root;
                    ui.progressBar->setRange(0, 100);
                    ui.progressBar->setValue(0);
                    updateStage = WindowStage::Copying;
                    updateDrive = volume.drive;
                    emit StartLoadFwThread(info);
                }
            }
        }

        qDebug().nospace().noquote() << event.interfaceName;
        if (guid_check(g_captureCategory, event.interfaceName)) {
            qDebug().nospace().noquote() << QString::fromLocal8Bit("USB Camera Device insert ");
            RefreshDeviceList();
            // Only now: the worker goes on at 5 and the version read that
            // follows looks the camera up in the refreshed list. Any other
            // capture device only refreshes the list.
            int listed = 0;
            if (g_upgradeStage.load() == UpgradeStage::DriveGone)
                FindUpdatedCamera(&listed);
            int waitingForCamera = UpgradeStage::DriveGone;
            if (listed > 0)
                g_upgradeStage.compare_exchange_strong(waitingForCamera, UpgradeStage::CameraBack);
            ui.EditInfo->append(QString::fromLocal8Bit("USB Camera Device insert"));
        }
        return;
    }

    qDebug().nospace().noquote() << QString::fromLocal8Bit("Device remove");
    if (event.plainVolume()) {
        qDebug().nospace().noquote() << QString::fromLocal8Bit("USB_Removed");
        // Only the drive being written to can break the copy.
        if (g_upgradeStage.load() == UpgradeStage::Copying && namesDrive(event, updateDrive))
            showTransferFailed(this);
    }

    qDebug().nospace().noquote() << event.interfaceName;
    if (guid_check(g_captureCategory, event.interfaceName)) {
        qDebug().nospace().noquote() << QString::fromLocal8Bit("USB Camera Device Remove!");
        ui.EditInfo->append(QString::fromLocal8Bit("USB Camera Device Remove!"));
        // While the copy runs the camera is a drive: a capture device leaving
        // is another device and does not touch the copy.
        RefreshDeviceList();
    }
}

char DriveLetterFromMask(quint32 unitmask)
{
    int bit = 0;
    while (bit < 26 && !(unitmask & (1u << bit)))
        ++bit;
    return char('A' + bit);
}

bool guid_check(const GUID &guid, const QString &name)
{
    const QString upperName = name.toUpper();
    const QLatin1Char zero('0');
    const QString text = QString::fromLocal8Bit("%1-%2-%3-%4%5-%6%7%8%9%10%11")
                             .arg(uint(guid.Data1), 8, 16, zero)
                             .arg(uint(guid.Data2), 4, 16, zero)
                             .arg(uint(guid.Data3), 4, 16, zero)
                             .arg(uint(guid.Data4[0]), 2, 16, zero)
                             .arg(uint(guid.Data4[1]), 2, 16, zero)
                             .arg(uint(guid.Data4[2]), 2, 16, zero)
                             .arg(uint(guid.Data4[3]), 2, 16, zero)
                             .arg(uint(guid.Data4[4]), 2, 16, zero)
                             .arg(uint(guid.Data4[5]), 2, 16, zero)
                             .arg(uint(guid.Data4[6]), 2, 16, zero)
                             .arg(uint(guid.Data4[7]), 2, 16, zero)
                             .toUpper();
    qDebug().nospace().noquote() << text;
    return upperName.contains(text);
}
