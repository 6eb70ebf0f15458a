#pragma once
#include <QChar>
#include <QString>

class QWidget;

// "\\.\E:" for drive E: the path under which a volume is opened for querying.
QString VolumePathForDrive(QChar drive);

// The bus check for a volume named by its path: "\\.\E:" for a drive letter,
// or the mount point where drives have no letters. Opens the volume (retrying
// for about ten seconds while it is freshly mounted), asks for its storage
// descriptor and answers whether it sits on the USB bus. Its failures are
// shown in boxes parented on `boxParent`.
bool IsUsbVolume(QWidget *boxParent, const QString &volumePath);
