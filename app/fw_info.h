#pragma once
#include <QString>

// One firmware copy job: the file to copy and the root of the camera's drive.
struct fw_info {
    QString fw_file;
    QString disk_path;
};
