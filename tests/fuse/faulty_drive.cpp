// A drive that fails on command: a FUSE file system passing through to a
// directory, with one fault per mount. The camera's view is written to a log.
//
//   faulty_drive <backing dir> <mount point> <fault> <at> <reference file> <log>
//
// Faults on "/fw.bin", at its operation number `at` (0 the create, then one
// per write, then the fsync, then the close of the written handle):
//   vanish   the daemon exits without unmounting, like a pulled stick
//   eio      the operation fails with EIO
//   short    a write stores and reports only half of its bytes
//   corrupt  a write stores one byte changed and reports success
// Other faults: enospc (the drive is full from byte `at` on), mkdir-eio,
// mkdir-erofs, mkdir-vanish (at the creation of "/update"), none.
//
// Log lines: "accepted <bytes>" after each write of fw.bin, "failed" after an
// error its writer always sees (create, fsync, close, a full drive; the kernel
// may turn a failed write into a short one), and at the
// creation of "/update" "trigger ok" or "trigger bad: <missing|short|different|
// unflushed>", judged against the reference file before "update" exists.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

std::string g_backing, g_fault, g_reference;
long long g_at = -1;
FILE *g_log = nullptr;
long long g_op = 0;          // operations on fw.bin so far
long long g_accepted = 0;    // bytes of fw.bin written in total
bool g_dirty = false;        // written since the last fsync
std::set<uint64_t> g_writers;  // handles of fw.bin open for writing

const char kFirmware[] = "/fw.bin";

std::string real(const char *path) { return g_backing + path; }

void note(const std::string &line)
{
    std::fprintf(g_log, "%s\n", line.c_str());
    std::fflush(g_log);
}

// Counts one operation on fw.bin; the fault to apply to it, or "".
std::string faultFor(const char *path)
{
    if (std::strcmp(path, kFirmware) != 0)
        return std::string();
    const long long op = g_op++;
    if (op != g_at || g_fault == "enospc" || g_fault.rfind("mkdir", 0) == 0)
        return std::string();
    if (g_fault == "vanish")
        _exit(0);
    return g_fault;
}

bool writable(int flags) { return (flags & O_ACCMODE) != O_RDONLY; }

std::vector<char> readAll(const std::string &path, bool *ok)
{
    std::ifstream in(path, std::ios::binary);
    *ok = bool(in);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string verdict()
{
    bool haveFirmware = false, haveReference = false;
    const std::vector<char> firmware = readAll(real(kFirmware), &haveFirmware);
    const std::vector<char> reference = readAll(g_reference, &haveReference);
    if (!haveFirmware)
        return "trigger bad: missing";
    if (firmware.size() < reference.size())
        return "trigger bad: short";
    if (firmware != reference)
        return "trigger bad: different";
    if (g_dirty)
        return "trigger bad: unflushed";
    return "trigger ok";
}

void *drive_init(struct fuse_conn_info *conn, struct fuse_config *cfg)
{
    conn->want &= ~FUSE_CAP_AUTO_INVAL_DATA;
    // The kernel asks for every name and attribute afresh; file pages stay
    // cached as on a real drive, so only a reader that bypasses the cache
    // sees what the drive holds.
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->use_ino = 1;
    return nullptr;
}

int drive_getattr(const char *path, struct stat *st, struct fuse_file_info *)
{
    return ::lstat(real(path).c_str(), st) ? -errno : 0;
}

int drive_readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t,
                  struct fuse_file_info *, enum fuse_readdir_flags)
{
    DIR *dir = ::opendir(real(path).c_str());
    if (!dir)
        return -errno;
    while (struct dirent *entry = ::readdir(dir))
        fill(buf, entry->d_name, nullptr, 0, fuse_fill_dir_flags(0));
    ::closedir(dir);
    return 0;
}

int drive_mkdir(const char *path, mode_t mode)
{
    if (std::strcmp(path, "/update") == 0) {
        if (g_fault == "mkdir-vanish")
            _exit(0);
        if (g_fault == "mkdir-eio")
            return -EIO;
        if (g_fault == "mkdir-erofs")
            return -EROFS;
        note(verdict());
    }
    return ::mkdir(real(path).c_str(), mode) == 0 ? 0 : -errno;
}

int drive_rmdir(const char *path) { return ::rmdir(real(path).c_str()) == 0 ? 0 : -errno; }

int drive_unlink(const char *path)
{
    if (std::strcmp(path, kFirmware) == 0)
        g_dirty = false;
    return ::unlink(real(path).c_str()) == 0 ? 0 : -errno;
}

int openFile(const char *path, struct fuse_file_info *fi, bool create, mode_t mode)
{
    if (writable(fi->flags) && faultFor(path) == "eio") {
        note("failed");
        return -EIO;
    }
    const int fd = create ? ::open(real(path).c_str(), fi->flags, mode)
                          : ::open(real(path).c_str(), fi->flags);
    if (fd < 0)
        return -errno;
    fi->fh = static_cast<uint64_t>(fd);
    if (writable(fi->flags) && std::strcmp(path, kFirmware) == 0)
        g_writers.insert(fi->fh);
    // Cached pages outlive the handle, as on a block device's file system.
    fi->keep_cache = 1;
    return 0;
}

int drive_create(const char *path, mode_t mode, struct fuse_file_info *fi) { return openFile(path, fi, true, mode); }

int drive_open(const char *path, struct fuse_file_info *fi) { return openFile(path, fi, false, 0); }

int drive_read(const char *, char *buf, size_t size, off_t offset, struct fuse_file_info *fi)
{
    const ssize_t got = ::pread(int(fi->fh), buf, size, offset);
    return got < 0 ? -errno : int(got);
}

int drive_write(const char *path, const char *buf, size_t size, off_t offset,
                struct fuse_file_info *fi)
{
    const std::string fault = faultFor(path);
    if (fault == "eio")
        return -EIO;
    std::vector<char> bytes(buf, buf + size);
    if (fault == "short")
        bytes.resize(size / 2);
    if (fault == "corrupt" && !bytes.empty())
        bytes[0] = char(bytes[0] ^ 0x5a);
    const bool firmware = std::strcmp(path, kFirmware) == 0;
    if (firmware && g_fault == "enospc") {
        if (offset >= g_at) {
            note("failed");
            return -ENOSPC;
        }
        bytes.resize(size_t(std::min<long long>(size, g_at - offset)));
    }
    const ssize_t put = ::pwrite(int(fi->fh), bytes.data(), bytes.size(), offset);
    if (put < 0)
        return -errno;
    if (firmware) {
        g_dirty = true;
        g_accepted += put;
        note("accepted " + std::to_string(g_accepted));
    }
    return int(put);
}

// The kernel sends no open flags with a flush: the handle tells the writer.
int drive_flush(const char *path, struct fuse_file_info *fi)
{
    if (g_writers.count(fi->fh) && faultFor(path) == "eio") {
        note("failed");
        return -EIO;
    }
    return 0;
}

int drive_fsync(const char *path, int, struct fuse_file_info *fi)
{
    if (faultFor(path) == "eio") {
        note("failed");
        return -EIO;
    }
    if (::fsync(int(fi->fh)) != 0)
        return -errno;
    if (std::strcmp(path, kFirmware) == 0)
        g_dirty = false;
    return 0;
}

int drive_release(const char *, struct fuse_file_info *fi)
{
    g_writers.erase(fi->fh);
    ::close(int(fi->fh));
    return 0;
}

int drive_truncate(const char *path, off_t size, struct fuse_file_info *)
{
    return ::truncate(real(path).c_str(), size) ? -errno : 0;
}

int drive_statfs(const char *path, struct statvfs *st) { return ::statvfs(real(path).c_str(), st) ? -errno : 0; }

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s backing mountpoint fault at reference log\n", argv[0]);
        return 2;
    }
    g_backing = argv[1];
    g_fault = argv[3];
    g_at = std::atoll(argv[4]);
    g_reference = argv[5];
    g_log = std::fopen(argv[6], "a");
    if (!g_log)
        return 2;

    struct fuse_operations ops;
    std::memset(&ops, 0, sizeof ops);
    ops.init = drive_init;
    ops.getattr = drive_getattr;
    ops.readdir = drive_readdir;
    ops.mkdir = drive_mkdir;
    ops.rmdir = drive_rmdir;
    ops.unlink = drive_unlink;
    ops.create = drive_create;
    ops.open = drive_open;
    ops.read = drive_read;
    ops.write = drive_write;
    ops.flush = drive_flush;
    ops.fsync = drive_fsync;
    ops.release = drive_release;
    ops.truncate = drive_truncate;
    ops.statfs = drive_statfs;

    // Foreground, one thread: operations arrive in order and are counted so.
    char *args[] = {argv[0], argv[2], const_cast<char *>("-f"), const_cast<char *>("-s"), nullptr};
    return fuse_main(4, args, &ops, nullptr);
}
