#include "update/firmware_copy.h"

#include <QFile>

namespace firmware {

qint64 chunkLength(qint64 fileSize)
{
    return qMax<qint64>(1, fileSize / kChunksPerFile);
}

CopyResult copyInChunks(QFile &source, QFile &destination, qint64 size,
                        char *buffer, qint64 chunk,
                        const std::function<void(int)> &chunkWritten)
{
    int chunks = 0;
    for (qint64 left = size; left > 0;) {
        const qint64 wanted = qMin(chunk, left);
        if (source.read(buffer, wanted) != wanted)
            return CopyResult::ReadFailed;
        if (destination.write(buffer, wanted) != wanted)
            return CopyResult::WriteFailed;
        left -= wanted;
        chunkWritten(++chunks);
    }
    return CopyResult::Done;
}

} // namespace firmware
