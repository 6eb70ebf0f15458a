// A drive that fails on command: a FUSE file system passing through to a directory, with one fault per mount.
//   faulty_drive <backing dir> <mount point> <fault> <at> <reference file> <log>
// Faults on "/fw.bin" at its operation `at` (0 the create, one per write, then the fsync, then the close of the
// written handle): vanish (the daemon exits without unmounting, like a pulled stick), eio, short (a write stores and
// reports half its bytes), corrupt (a write stores one byte changed and reports success). Others: enospc (full from
// byte `at` on), mkdir-eio, mkdir-erofs, mkdir-vanish (at the creation of "/update"), none.
// The log is the camera's view: "accepted <bytes>" after each write of fw.bin; "failed" after an error its writer
// always sees (create, fsync, close, a full drive: the kernel may turn a failed write into a short one); at the
// creation of "/update", "trigger ok" or "trigger bad: <missing|short|different|unflushed>" against the reference.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
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

std::string real(const char *path) { return g_backing + path; }

bool isFirmware(const char *path) { return std::strcmp(path, "/fw.bin") == 0; }

int result(int status) { return status == 0 ? 0 : -errno; }

void note(const std::string &line)
{
    std::fprintf(g_log, "%s\n", line.c_str());
    std::fflush(g_log);
}

// Logs an error its writer always sees and returns it.
int failed(int error = EIO)
{
    note("failed");
    return -error;
}

// Counts one operation on fw.bin; the fault to apply to it, or "".
std::string faultFor(const char *path)
{
    if (!isFirmware(path) || g_op++ != g_at || g_fault == "enospc" || g_fault.rfind("mkdir", 0) == 0)
        return std::string();
    if (g_fault == "vanish")
        _exit(0);
    return g_fault;
}

std::vector<char> readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string verdict()
{
    const std::vector<char> firmware = readAll(real("/fw.bin")), reference = readAll(g_reference);
    if (::access(real("/fw.bin").c_str(), F_OK) != 0)
        return "trigger bad: missing";
    if (firmware.size() < reference.size())
        return "trigger bad: short";
    if (firmware != reference)
        return "trigger bad: different";
    return g_dirty ? "trigger bad: unflushed" : "trigger ok";
}

void *drive_init(struct fuse_conn_info *conn, struct fuse_config *cfg)
{
    // The kernel asks for every name and attribute afresh; file pages stay cached as on a real drive, so only a
    // reader that bypasses the cache sees what the drive holds.
    conn->want &= ~FUSE_CAP_AUTO_INVAL_DATA;
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->use_ino = 1;
    return nullptr;
}

int drive_mkdir(const char *path, mode_t mode)
{
    if (std::strcmp(path, "/update") == 0) {
        if (g_fault == "mkdir-vanish")
            _exit(0);
        if (g_fault == "mkdir-eio" || g_fault == "mkdir-erofs")
            return g_fault == "mkdir-eio" ? -EIO : -EROFS;
        note(verdict());
    }
    return result(::mkdir(real(path).c_str(), mode));
}

int drive_unlink(const char *path)
{
    g_dirty = g_dirty && !isFirmware(path);
    return result(::unlink(real(path).c_str()));
}

int openFile(const char *path, struct fuse_file_info *fi, mode_t mode)
{
    const bool writing = (fi->flags & O_ACCMODE) != O_RDONLY;
    if (writing && faultFor(path) == "eio")
        return failed();
    const int fd = ::open(real(path).c_str(), fi->flags, mode);
    if (fd < 0)
        return -errno;
    fi->fh = static_cast<uint64_t>(fd);
    if (writing && isFirmware(path))
        g_writers.insert(fi->fh);
    fi->keep_cache = 1;   // cached pages outlive the handle, as on a block device's file system
    return 0;
}

int drive_write(const char *path, const char *buf, size_t size, off_t offset, struct fuse_file_info *fi)
{
    const std::string fault = faultFor(path);
    if (fault == "eio")
        return -EIO;
    std::vector<char> bytes(buf, buf + size);
    if (fault == "short")
        bytes.resize(size / 2);
    if (fault == "corrupt" && !bytes.empty())
        bytes[0] = char(bytes[0] ^ 0x5a);
    if (isFirmware(path) && g_fault == "enospc") {
        if (offset >= g_at)
            return failed(ENOSPC);
        bytes.resize(size_t(std::min<long long>(size, g_at - offset)));
    }
    const ssize_t put = ::pwrite(int(fi->fh), bytes.data(), bytes.size(), offset);
    if (put < 0)
        return -errno;
    if (isFirmware(path)) {
        g_dirty = true;
        g_accepted += put;
        note("accepted " + std::to_string(g_accepted));
    }
    return int(put);
}

// The kernel sends no open flags with a flush: the handle tells the writer.
int drive_flush(const char *path, struct fuse_file_info *fi)
{
    return g_writers.count(fi->fh) && faultFor(path) == "eio" ? failed() : 0;
}

int drive_fsync(const char *path, int, struct fuse_file_info *fi)
{
    if (faultFor(path) == "eio")
        return failed();
    if (::fsync(int(fi->fh)) != 0)
        return -errno;
    g_dirty = g_dirty && !isFirmware(path);
    return 0;
}

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
    if (!(g_log = std::fopen(argv[6], "a")))
        return 2;
    struct fuse_operations ops = {};
    ops.init = drive_init;
    ops.getattr = [](const char *path, struct stat *st, fuse_file_info *) {
        return result(::lstat(real(path).c_str(), st));
    };
    ops.mkdir = drive_mkdir;
    ops.rmdir = [](const char *path) { return result(::rmdir(real(path).c_str())); };
    ops.unlink = drive_unlink;
    ops.create = [](const char *path, mode_t mode, fuse_file_info *fi) { return openFile(path, fi, mode); };
    ops.open = [](const char *path, fuse_file_info *fi) { return openFile(path, fi, 0); };
    ops.read = [](const char *, char *buf, size_t size, off_t offset, fuse_file_info *fi) {
        const ssize_t got = ::pread(int(fi->fh), buf, size, offset);
        return got < 0 ? -errno : int(got);
    };
    ops.write = drive_write;
    ops.flush = drive_flush;
    ops.fsync = drive_fsync;
    ops.release = [](const char *, fuse_file_info *fi) {
        g_writers.erase(fi->fh);
        return result(::close(int(fi->fh)));
    };
    // Foreground, one thread: operations arrive in order and are counted so.
    char *args[] = {argv[0], argv[2], const_cast<char *>("-f"), const_cast<char *>("-s"), nullptr};
    return fuse_main(4, args, &ops, nullptr);
}
