#pragma once
#include "app/fw_info.h"
#include "camera/camera_identity.h"
#include "platform/com_types.h"
#include "platform/device_events.h"
#include "ui_tarnholm.h"
#include "update/awake_hold.h"
#include "update/firmware_snapshot.h"

#include <QMainWindow>
#include <QString>
#include <QThread>
#include <atomic>

class Tarnholm;

extern Tarnholm *g_mainWindow;
extern std::atomic<int> g_upgradeStage;
extern const QString g_firmwareFileName;

// Capture devices are listed only when their friendly name contains this.
extern const QString g_supportedCameraName;
// Device-interface class of video-capture devices (KSCATEGORY_CAPTURE).
extern const GUID g_captureCategory;

int enum_video_devices(IMoniker **monikers, IBaseFilter **filters);
// Drops the one reference per moniker and filter that enumeration handed out.
void release_video_devices(IMoniker **monikers, IBaseFilter **filters);
bool guid_check(const GUID &guid, const QString &name);
char DriveLetterFromMask(quint32 unitmask);

class Tarnholm : public QMainWindow
{
    Q_OBJECT

public:
    explicit Tarnholm(QWidget *parent = 0);
    ~Tarnholm();

    // State is open to the tool's own tests; nothing else touches it from outside.
    QThread workerThread;
    Ui::TarnholmClass ui;
    IMoniker *deviceMonikers[10];
    IBaseFilter *deviceFilters[10];
    int updateStage;
    QString updateDeviceName;
    // The updated camera's path and port, recorded with its name at the click.
    DeviceIdentity updateDeviceIdentity;
    // The drive the firmware is copied onto: its letter, or its mount point.
    QString updateDrive;
    QString savedVersion;
    QString savedDate;
    QString currentVersion;
    QString currentDate;
    // Held from the camera's switch to the end of the update.
    AwakeHold awakeHold;
    // The firmware taken at the Update click; the worker copies this file.
    FirmwareSnapshot firmwareSnapshot;

    void FillDeviceList();
    void RefreshDeviceList();
    bool CheckFwVersionChanged();
    // The path and port of the device behind a list item; empty when unknown.
    DeviceIdentity ItemIdentity(int index);
    // The list item that is the updated camera, found by port, else device
    // path, else name; -1 when none is, or when only names match and several
    // items carry it. `matches` (may be null) counts the items that match.
    int FindUpdatedCamera(int *matches = nullptr);
    bool IsUsbMassStorage(QChar drive);
    // Reacts to one device arrival or removal, whatever backend reported it.
    void HandleDeviceEvent(const platform::DeviceEvent &event);

signals:
    void StartLoadFwThread(const fw_info &info);

private slots:
    void on_BtnLoadFw_clicked();
    void on_BtnFwFile_clicked();
    void on_pBtnDeviceInfo_clicked();
    void on_DeviceList_currentIndexChanged(int);

public slots:
    void HandleWorkerTheardState(const int state);

protected:
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;
};
