#pragma once
#include <QString>
#include <memory>

class QTemporaryFile;

// The firmware as it was when Update was pressed, in a private temporary file
// that only the tool writes. What the camera gets no longer depends on the
// operator's file: it may grow, change, vanish or be replaced afterwards.
class FirmwareSnapshot {
public:
    FirmwareSnapshot();
    ~FirmwareSnapshot();

    // Reads the regular file at `path` whole into a new snapshot, replacing
    // any earlier one. False, with no snapshot kept, when the file is not a
    // regular file, is empty, or cannot be read or stored whole.
    bool take(const QString &path);
    // Removes the snapshot's file.
    void clear();

    // The snapshot's file; empty when there is none.
    QString path() const;

private:
    std::unique_ptr<QTemporaryFile> m_file;
};
