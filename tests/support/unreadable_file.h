#pragma once
#include <QString>

// Makes a file unreadable to the calling thread while alive: held open without sharing on Windows;
// on Linux no permissions, and read as "nobody" when running as root.
class UnreadableFile {
public:
    explicit UnreadableFile(const QString &path);
    ~UnreadableFile();
    UnreadableFile(const UnreadableFile &) = delete;
    UnreadableFile &operator=(const UnreadableFile &) = delete;
    bool ok() const { return m_why.isEmpty(); } // false where the system offers no way
    QString why() const { return m_why; }

private:
    QString m_path, m_why;
#ifdef _WIN32
    void *m_handle = nullptr; // the handle that denies sharing
#else
    bool m_asNobody = false; // reading as "nobody" on this thread
#endif
};
