// SPDX-License-Identifier: GPL-3.0-or-later
#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "atomic_file.h"
#include "errors.h"
#include "numtext.h"

namespace dorvalix {

namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { close(fd_); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

std::string FileErrorText(const Text& text, Lang lang, const std::string& path) {
    std::string out = text.In(lang);
    return out.replace(out.find("%s"), 2, QuotePathForMessage(path));
}

std::string ReadInputFile(const std::string& path, Lang lang) {
    return ReadInputFile(path, lang, kMaxInputFileBytes, file_error_text::kFileTooLarge);
}

std::string ReadInputFile(const std::string& path, Lang lang, std::size_t limit,
                          const Text& tooLarge) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) throw IoError(IoErrorText(errno, path));
    const FileDescriptor file(fd);
    struct stat st;
    if (fstat(fd, &st) != 0) throw IoError(IoErrorText(errno, path));
    if (S_ISDIR(st.st_mode)) throw IoError(IoErrorText(EISDIR, path));
    if (!S_ISREG(st.st_mode)) {
        throw IoError(FileErrorText(file_error_text::kNotRegularFile, lang, path));
    }
    auto refusal = [&] { return IoError(FileErrorText(tooLarge, lang, path)); };
    if (st.st_size > static_cast<off_t>(limit)) throw refusal();
    // A file that grows while it is read is still cut off at the limit.
    std::string out;
    out.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    while (out.size() <= limit) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoError(IoErrorText(errno, path));
        }
        if (n == 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    if (out.size() > limit) throw refusal();
    return out;
}

}  // namespace dorvalix
