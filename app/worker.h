#pragma once
#include "app/fw_info.h"
#include <QObject>

// Copies the firmware onto the camera's drive and follows the camera until it
// is back, on the window's worker thread. Reports only through its state codes.
class Worker : public QObject
{
    Q_OBJECT

signals:
    void WorkerTheardState(int);

public slots:
    void WorkerLoadFw(const fw_info &inof);
};
