#include "app/tarnholm.h"
#include "app/worker.h"
#include "platform/platform.h"
#include "update/update_state.h"

#include <QDebug>
#include <QPalette>

Tarnholm::Tarnholm(QWidget *parent)
    : QMainWindow(parent)
{
    ui.setupUi(this);
    g_mainWindow = this;

    // The two read-only panes show the window background, not a white field.
    QPalette palette = ui.EditInfo->palette();
    palette.setBrush(QPalette::All, QPalette::Base, QBrush(QColor(0, 0, 0, 0), Qt::SolidPattern));
    ui.EditInfo->setPalette(palette);
    ui.DeviceInfo->setPalette(palette);

    for (int i = 0; i < 10; ++i) {
        deviceMonikers[i] = nullptr;
        deviceFilters[i] = nullptr;
    }
    updateStage = WindowStage::Idle;

    enum_video_devices(deviceMonikers, deviceFilters);
    FillDeviceList();

    g_upgradeStage = UpgradeStage::None;

    if (!platform::current().notifier->subscribe(
            this, [this](const platform::DeviceEvent &event) { HandleDeviceEvent(event); }))
        qDebug() << "RegisterDeviceNotification Error";

    Worker *worker = new Worker;
    worker->moveToThread(&workerThread);
    connect(&workerThread, &QThread::finished, worker, &QObject::deleteLater);
    connect(this, &Tarnholm::StartLoadFwThread, worker, &Worker::WorkerLoadFw);
    connect(worker, &Worker::WorkerTheardState, this, &Tarnholm::HandleWorkerTheardState);
    workerThread.start(QThread::InheritPriority);
}

Tarnholm::~Tarnholm()
{
    // A copy job still waiting for the camera notices the request within a
    // second and returns; only then can the thread's event loop quit.
    workerThread.requestInterruption();
    workerThread.quit();
    workerThread.wait();
    // The list's items only carry the addresses; the references are the window's.
    release_video_devices(deviceMonikers, deviceFilters);
}
