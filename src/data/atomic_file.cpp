// SPDX-License-Identifier: GPL-3.0-or-later
#include "atomic_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <iterator>
#include <vector>

#include "errors.h"
#include "input_file.h"
#include "numtext.h"

namespace dorvalix {

std::string IoErrorText(int error, const std::string& path) {
    return std::string(std::strerror(error)) + ": " + QuotePathForMessage(path);
}

namespace {

[[noreturn]] void Fail(int error, const std::string& path) {
    throw IoError(IoErrorText(error, path));
}

// The folder part of a path, with its last "/"; "" when it has none.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a write to `path` must replace: symbolic links followed to their target (which
// need not exist yet), as opening the path for writing would follow them.
std::string FollowLinks(const std::string& path) {
    std::string p = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0) {
            if (errno == ENOENT) return p;
            Fail(errno, path);
        }
        if (!S_ISLNK(st.st_mode)) return p;
        std::vector<char> buffer(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1
                                                : PATH_MAX + 1);
        const ssize_t n = readlink(p.c_str(), buffer.data(), buffer.size());
        if (n < 0) Fail(errno, path);
        if (static_cast<std::size_t>(n) >= buffer.size()) Fail(ENAMETOOLONG, path);
        const std::string target(buffer.data(), static_cast<std::size_t>(n));
        p = target.starts_with('/') ? target : FolderOf(p) + target;
    }
    Fail(ELOOP, path);
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// The temporary names a signal handler must remove. A signal may come at any moment, on
// any thread, so the handler reads nothing but these fixed slots: a name is complete
// before its slot is marked full. This is the one piece of state shared by every writer.
struct TemporaryName {
    std::atomic<int> state{0};  // kFree, kClaimed or kFull
    char path[PATH_MAX];
};
constexpr int kFree = 0, kClaimed = 1, kFull = 2;
static_assert(std::atomic<int>::is_always_lock_free);
TemporaryName g_temporaryNames[16];

// The slot that now holds `path`, or -1 when every slot is taken (more writers at once than
// a program has; that file is then only removed by its writer).
int RememberTemporaryName(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < static_cast<int>(std::size(g_temporaryNames)); ++i) {
        TemporaryName& slot = g_temporaryNames[i];
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kClaimed)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(kFull, std::memory_order_release);
        return i;
    }
    return -1;
}

void ForgetTemporaryName(int slot) {
    if (slot >= 0) g_temporaryNames[slot].state.store(kFree, std::memory_order_release);
}

extern "C" void RemoveTemporaryNamesAndEnd(int signal) {
    const int saved = errno;
    for (TemporaryName& slot : g_temporaryNames) {
        if (slot.state.load(std::memory_order_acquire) == kFull) unlink(slot.path);
    }
    // SA_RESETHAND gave the signal its default action back: raised again, it ends the
    // program as it would have without the handler, once the handler returns.
    raise(signal);
    errno = saved;
}

// Six characters for a temporary name, from the system's random source.
std::string RandomSuffix() {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6] = {};
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // No random source: the clock and the process still make a name that rarely exists.
        const auto seed = static_cast<unsigned long>(getpid()) * 2654435761u +
                          static_cast<unsigned long>(clock());
        for (std::size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(seed >> (5 * i));
    }
    std::string out;
    for (const unsigned char b : bytes)
        out += kChars[b % (sizeof kChars - 1)];
    return out;
}

// The file behind an open descriptor, as linkat can name it without privileges.
std::string DescriptorPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

void RemoveTemporaryFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryNamesAndEnd;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        // nohup and a shell's background jobs ignore some of them: that stays so.
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

AtomicFileWriter::AtomicFileWriter(const std::string& path, Lang lang, Temporary temporary)
    : path_(path), target_(FollowLinks(path)), folder_(FolderOf(target_)) {
    struct stat st;
    const bool exists = stat(target_.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) Fail(errno, path_);
    if (exists) {
        if (S_ISDIR(st.st_mode)) Fail(EISDIR, path_);
        // Renaming over a device or a FIFO would put a plain file in its place.
        if (!S_ISREG(st.st_mode)) {
            throw IoError(FileErrorText(file_error_text::kNotRegularFile, lang, path_));
        }
        // The rename asks only the folder; the file's own permission decides, as it would
        // for writing the file in place.
        if (faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) Fail(errno, path_);
    }
    if (temporary == Temporary::Unnamed) {
        fd_ = open(folder_.empty() ? "." : folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        // Linked in through /proc at the end: without /proc, a named file from the start.
        struct stat link;
        if (fd_ >= 0 && lstat(DescriptorPath(fd_).c_str(), &link) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    if (fd_ < 0) {
        // No unnamed file here (a file system without O_TMPFILE): the named one reports
        // whatever keeps a file from being made in the folder.
        std::string pattern = folder_ + ".dorvalix-XXXXXX";
        fd_ = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ < 0) Fail(errno, path_);
        temp_ = pattern;
        slot_ = RememberTemporaryName(temp_);
    }
    if (exists) {
        // Root may keep any owner; others their own and, where they belong to it, the group.
        if (fchown(fd_, st.st_uid, st.st_gid) != 0) {
            [[maybe_unused]] const int ignored = fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
        }
        if (fchmod(fd_, st.st_mode & 0777) != 0) Abandon(errno);
    } else {
        if (fchmod(fd_, 0666 & ~CurrentUmask()) != 0) Abandon(errno);
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0) close(fd_);  // an unnamed file is gone with it
    if (!temp_.empty()) unlink(temp_.c_str());
    Forget();
}

void AtomicFileWriter::Forget() {
    ForgetTemporaryName(slot_);
    slot_ = -1;
    temp_.clear();
}

void AtomicFileWriter::Abandon(int error) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temp_.empty()) unlink(temp_.c_str());
    Forget();
    Fail(error, path_);
}

void AtomicFileWriter::LinkIn() {
    const std::string from = DescriptorPath(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder_ + ".dorvalix-" + RandomSuffix();
        // Remembered before it exists, so that no moment is left in which a signal would
        // leave it behind; removing a name that is not there does no harm.
        slot_ = RememberTemporaryName(name);
        if (linkat(AT_FDCWD, from.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp_ = name;
            return;
        }
        const int error = errno;
        ForgetTemporaryName(slot_);
        slot_ = -1;
        if (error != EEXIST) Abandon(error);
    }
    Abandon(EEXIST);
}

void AtomicFileWriter::Write(std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(fd_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            Abandon(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void AtomicFileWriter::Commit() {
    if (fsync(fd_) != 0) Abandon(errno);
    if (temp_.empty()) LinkIn();
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) Abandon(errno);
    if (rename(temp_.c_str(), target_.c_str()) != 0) Abandon(errno);
    Forget();
    // The rename is an entry of the folder: without this, a power cut could undo it.
    const std::string folder = folder_.empty() ? "." : folder_;
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) Fail(errno, path_);
    const int synced = fsync(dir);
    const int error = errno;
    close(dir);
    // Some file systems cannot flush a folder (EINVAL); what they hold is as safe as it gets.
    if (synced != 0 && error != EINVAL) Fail(error, path_);
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, Lang lang) {
    AtomicFileWriter writer(path, lang);
    writer.Write(bytes);
    writer.Commit();
}

}  // namespace dorvalix
