#pragma once
#include <QString>

// Makes a file unreadable to the calling thread while alive, each system in its
// own way: held open without sharing on Windows; no permissions elsewhere, read
// as "nobody" when the test runs as root (who reads anything).
class UnreadableFile {
public:
    explicit UnreadableFile(const QString &path);
    ~UnreadableFile();
    UnreadableFile(const UnreadableFile &) = delete;
    UnreadableFile &operator=(const UnreadableFile &) = delete;

    // False where the system offers no way; why() then says why.
    bool ok() const { return m_why.isEmpty(); }
    QString why() const { return m_why; }

private:
    QString m_path;
    QString m_why;
#ifdef _WIN32
    void *m_handle = nullptr;   // the handle that denies sharing
#else
    bool m_asNobody = false;    // reading as "nobody" on this thread
#endif
};
