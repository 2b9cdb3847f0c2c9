// SPDX-License-Identifier: GPL-3.0-or-later
#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
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

}  // namespace

AtomicFileWriter::AtomicFileWriter(const std::string& path, Lang lang)
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
    std::string pattern = folder_ + ".dorvalix-XXXXXX";
    fd_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) Fail(errno, path_);
    temp_ = pattern;
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
    if (fd_ >= 0) close(fd_);
    if (!temp_.empty()) unlink(temp_.c_str());
}

void AtomicFileWriter::Abandon(int error) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    unlink(temp_.c_str());
    temp_.clear();
    Fail(error, path_);
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
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) Abandon(errno);
    if (rename(temp_.c_str(), target_.c_str()) != 0) Abandon(errno);
    temp_.clear();
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
