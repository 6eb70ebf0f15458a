#pragma once
#include "platform/file_io.h"

namespace platform {

// File operations of the operating system the program runs on.
class HostFileIo : public FileIo {
public:
    quint32 lastError() override;
    bool flushToDevice(QFile &file) override;
    bool sameFile(const QString &a, const QString &b) override;
};

} // namespace platform
