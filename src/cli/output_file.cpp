// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "errors.h"
#include "numtext.h"

namespace dorvalix::cli {

std::string OutputFileErrorLine(const std::string& text) {
    return "dorvalix-cli: " + text + ".\n";
}

OutputTarget::OutputTarget(const std::string& path, std::ostream& out, Lang lang) : path_(path) {
    if (path == "-") {
        out_ = &out;
        terminal_ = &out == &std::cout && isatty(STDOUT_FILENO) == 1;
        return;
    }
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        device_ = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (device_ < 0) throw IoError(IoErrorText(errno, path));
        terminal_ = isatty(device_) == 1;
        return;
    }
    // Everything else, a block device and a socket too, goes to the atomic writer, which
    // refuses what is not a regular file.
    file_.emplace(path, lang);
}

OutputTarget::~OutputTarget() {
    if (device_ >= 0) close(device_);
}

void OutputTarget::Write(std::string_view bytes) {
    std::string shown;
    if (terminal_) bytes = shown = ShowControlCharacters(bytes);
    if (out_ != nullptr) {
        out_->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    } else if (file_) {
        file_->Write(bytes);
    } else {
        while (!bytes.empty()) {
            const ssize_t n = write(device_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw IoError(IoErrorText(n < 0 ? errno : EIO, path_));
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
}

bool OutputTarget::Finish() {
    if (out_ != nullptr) {
        out_->flush();
        return static_cast<bool>(*out_);
    }
    if (file_) {
        file_->Commit();
        return true;
    }
    const int fd = device_;
    device_ = -1;
    if (close(fd) != 0 && errno != EINTR) throw IoError(IoErrorText(errno, path_));
    return true;
}

int WriteOutputFile(const std::string& path, std::string_view text, Lang lang, std::ostream& out,
                    std::ostream& err, std::string_view stdoutFailure) {
    try {
        OutputTarget target(path, out, lang);
        target.Write(text);
        if (target.Finish()) return 0;
        err << stdoutFailure;
        return 1;
    } catch (const DorvalixError& e) {
        err << OutputFileErrorLine(e.Text());
        return 1;
    }
}

}  // namespace dorvalix::cli
