#pragma once
#include "platform/file_io.h"

namespace platform {

// File operations of the operating system the program runs on.
class HostFileIo : public FileIo {
public:
    quint32 lastError() override;
    bool flushToDevice(QFile &file) override;
    bool openRegular(QFile &file, const QString &path) override;
    bool createRegular(QFile &file, const QString &path) override;
    QByteArray fileId(const QString &path) override;
    bool matchesOnDevice(const QString &path, QFile &reference, qint64 bufferBytes) override;
};

} // namespace platform
