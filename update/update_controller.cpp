#include "app/message_box.h"
#include "app/tarnholm.h"
#include "camera/fic_library.h"
#include "camera/version_block.h"
#include "update/update_state.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QTime>

namespace {

QString timeOfDay()
{
    return QTime::currentTime().toString(Qt::TextDate);
}

void informationBox(QWidget *parent, const char *title, const char *text)
{
    showMessageBox(parent, QMessageBox::Information, QString::fromLocal8Bit(title),
                   QString::fromLocal8Bit(text));
}

// The trace and box of an unusable firmware file, at the click or from the worker.
constexpr const char *FirmwareErrorTrace = "Get Firmware Error";
constexpr const char *FirmwareErrorText = "Get Firmware File Error";

// Firmware, Version and Update are off while an update runs.
void setUpdateButtonsEnabled(Tarnholm *window, bool enabled)
{
    window->ui.BtnLoadFw->setEnabled(enabled);
    window->ui.BtnFwFile->setEnabled(enabled);
    window->ui.pBtnDeviceInfo->setEnabled(enabled);
}

} // namespace

void Tarnholm::on_BtnFwFile_clicked()
{
    QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                QString::fromLocal8Bit("*.hex *.bin ;; *.*"));
    if (path.isEmpty())
        return;
    // Backslashes on Windows; elsewhere the path stays one the worker can open.
    ui.EditFwFile->setText(QDir::toNativeSeparators(path));
}

void Tarnholm::on_BtnLoadFw_clicked()
{
    ui.EditInfo->clear();
    ui.progressBar->setValue(0);

    const int index = ui.DeviceList->currentIndex();
    if (index < 0) {
        ui.EditInfo->append(QString::fromLocal8Bit("Can't find device.\n"));
        return;
    }

    updateDeviceName = ui.DeviceList->itemText(index);
    // The camera's drive, its return and the check after the update are told
    // from other devices by this.
    updateDeviceIdentity = ItemIdentity(index);
    updateDrive.clear();
    savedVersion = currentVersion;
    savedDate = currentDate;

    IBaseFilter *filter = nullptr;
    if (!versionblock::filterFromItemData(ui.DeviceList->itemData(index, Qt::UserRole), &filter)) {
        ui.EditInfo->append(QString::fromLocal8Bit("Can't find device.\n"));
        return;
    }

    if (ui.EditFwFile->text().isEmpty())
        return;

    ui.EditInfo->clear();
    ui.progressBar->setValue(0);

    if (g_upgradeStage != UpgradeStage::None) {
        ui.EditInfo->append(QString::fromLocal8Bit("Last Upgrade is not Complete."));
        return;
    }

    // Taken before the camera is switched: once it is a drive, only a power
    // cycle brings it back, so a file that cannot be read whole stops the click.
    // From here on the camera gets these bytes, whatever becomes of the file.
    if (!firmwareSnapshot.take(ui.EditFwFile->text())) {
        qDebug() << FirmwareErrorTrace;
        informationBox(this, "Error", FirmwareErrorText);
        return;
    }

    unsigned long context = 0;
    if (FicDeviceInit(filter, &context) != 0) {
        firmwareSnapshot.clear();
        ui.EditInfo->append(QString::fromLocal8Bit("Initialize Device Error."));
        return;
    }

    // Set before the request: the camera's drive may arrive as soon as it is made.
    updateStage = WindowStage::AwaitingDrive;
    if (FicUpdateFwUms(filter, context) != 0) {
        ui.EditInfo->append(
            QString::fromLocal8Bit("Switch USB Camera to USB Mass Storage Device Error."));
        setUpdateButtonsEnabled(this, true);
        updateStage = WindowStage::Idle;
        firmwareSnapshot.clear();
        return;
    }

    ui.DeviceList->clear();
    ui.EditInfo->append(QString::fromLocal8Bit("Wait UMS Install.%1")
                            .arg(QDateTime::currentDateTime().toString(
                                QString::fromLocal8Bit("hh:mm:ss"))));
    g_upgradeStage = UpgradeStage::Switched;
    setUpdateButtonsEnabled(this, false);
    // The camera is a drive now: sleep would cut its power mid-copy or mid-flash.
    if (!awakeHold.take())
        ui.EditInfo->append(QString::fromLocal8Bit(
            "Can't keep the computer awake; it may go to sleep during the update."));
}

void Tarnholm::HandleWorkerTheardState(const int state)
{
    const char *trace = nullptr;
    const char *text = nullptr;
    switch (state) {
    case WorkerState::FileUnusable:
        trace = FirmwareErrorTrace;
        text = FirmwareErrorText;
        break;
    case WorkerState::DriveUnusable:
        trace = "Transmit Firmware to Device Error.";
        text = "Write Firmware File Error";
        break;
    case WorkerState::TimedOut:
        trace = "Timeout";
        text = "Time Out";
        break;
    default:
        break;
    }

    if (text || state >= WorkerState::Done) {
        awakeHold.release();   // nothing left for the camera to lose
        firmwareSnapshot.clear();   // the run that read it has ended
    }

    if (text) {
        updateStage = WindowStage::Idle;
        g_upgradeStage = UpgradeStage::None;
        ui.BtnLoadFw->setEnabled(true);
        ui.BtnFwFile->setEnabled(true);
        qDebug() << trace;
        informationBox(this, "Error", text);
    } else if (state == WorkerState::ChunksDone) {
        ui.progressBar->setValue(state);
        ui.EditInfo->append(QString::fromLocal8Bit("Write firmware to flash.%1\nWaiting...")
                                .arg(timeOfDay()));
    } else if (state == WorkerState::Rebooting) {
        ui.progressBar->setValue(state);
        ui.EditInfo->append(QString::fromLocal8Bit("Reboot... %1").arg(timeOfDay()));
    } else if (state >= WorkerState::Done) {
        ui.progressBar->setValue(state);
        ui.EditInfo->append(QString::fromLocal8Bit("Success %1").arg(timeOfDay()));
        ui.BtnLoadFw->setEnabled(true);
        updateStage = WindowStage::Idle;
        const char *result = CheckFwVersionChanged() ? "Update Successful"
                                                     : "Firmware Version Unchanged";
        informationBox(this, "Info", result);
        g_upgradeStage = UpgradeStage::None;
        setUpdateButtonsEnabled(this, true);
        return;
    } else {
        ui.progressBar->setValue(state);
    }

    if (g_upgradeStage == UpgradeStage::None) {
        setUpdateButtonsEnabled(this, true);
    }
}
