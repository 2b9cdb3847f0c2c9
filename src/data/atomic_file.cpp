#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "errors.h"

namespace dorvalix {

std::string IoErrorText(int error, const std::string& path) {
    return std::string(std::strerror(error)) + ": " + path;
}

namespace {

[[noreturn]] void Fail(int error, const std::string& path) {
    throw IoError(IoErrorText(error, path));
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern =
        (slash == std::string::npos ? std::string() : folder) + "." + name + ".XXXXXX";
    std::vector<char> tmpl(pattern.begin(), pattern.end());
    tmpl.push_back('\0');
    const int fd = mkstemp(tmpl.data());
    if (fd < 0) Fail(errno, path);
    const std::string tmp(tmpl.data());
    auto abandon = [&](int error) {
        close(fd);
        unlink(tmp.c_str());
        Fail(error, path);
    };
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) abandon(errno);
    if (close(fd) != 0) {
        const int error = errno;
        unlink(tmp.c_str());
        Fail(error, path);
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(tmp.c_str());
        Fail(error, path);
    }
}

std::string ReadWholeFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail(errno, path);
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        Fail(EISDIR, path);
    }
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            close(fd);
            Fail(error, path);
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    return out;
}

}  // namespace dorvalix
