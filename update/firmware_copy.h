#pragma once
#include <QtGlobal>
#include <functional>

class QFile;

namespace firmware {

// The firmware goes over in 50 chunks, plus one for a remainder, so the
// progress codes of the copy are 1 to 50 (or 51) whatever the file's size.
constexpr int kChunksPerFile = 50;

// Size of one chunk. Sizes are 64-bit throughout (firmware images of 4 GiB and
// more must not wrap). Files under 50 bytes go byte by byte so the copy ends.
qint64 chunkLength(qint64 fileSize);

enum class CopyResult { Done, ReadFailed, WriteFailed };

// Copies the first `size` bytes of `source` to `destination` in chunks of
// `chunk` bytes through `buffer` (at least `chunk` bytes), calling
// `chunkWritten(n)` after the n-th chunk is written. Stops at the first read
// that fails or comes up short (the file shrank or the medium failed) and at
// the first write that fails or is short (drive full, read-only or gone).
CopyResult copyInChunks(QFile &source, QFile &destination, qint64 size,
                        char *buffer, qint64 chunk,
                        const std::function<void(int)> &chunkWritten);

} // namespace firmware
