// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a file so that a failure never destroys the file that was there before, and a
// power cut after the write cannot bring the old one back.
//
// The bytes go to a temporary file beside the file they replace, which is flushed to disk
// and renamed over it; then the folder is flushed, so that the rename itself is on disk.
// - A symbolic link is followed: the file it points to is replaced, the link stays.
// - A file the process may not write (mode 0444, someone else's) is refused with the
//   platform's error, as writing it in place would be: the rename alone would only ask
//   the folder. So is anything that is not a regular file.
// - The new file keeps the permission bits of the one it replaces, never set-user-id or
//   set-group-id, and where the process may, its owner and group. A new file gets 0666
//   less the umask.
// - The temporary file has no name while it is written (O_TMPFILE) where the file system
//   allows it: a program stopped halfway (a signal, a crash) leaves nothing behind. It is
//   linked in under a temporary name just before the rename.
// - The temporary name is short (".dorvalix-" and six characters), so that a file whose
//   name is as long as the system allows can be saved.
#pragma once

#include <string>
#include <string_view>

#include "lang.h"

namespace dorvalix {

// One atomic replacement, written piece by piece: Write as often as needed, then Commit.
// Every failure throws IoError with the platform's error text and the file name; the
// temporary file is then removed and the old file is as it was. Without Commit (an
// exception on the way), the destructor removes the temporary file.
class AtomicFileWriter {
  public:
    // Unnamed: a temporary file without a name until Commit where the file system can hold
    // one, else a named one; Named: always a named one (as on a file system without
    // O_TMPFILE).
    enum class Temporary { Unnamed, Named };

    // Checks the file at `path` and creates the temporary file. `lang` chooses the text of
    // the refusals that are the program's own (a target that is not a regular file).
    explicit AtomicFileWriter(const std::string& path, Lang lang = Lang::English,
                              Temporary temporary = Temporary::Unnamed);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void Write(std::string_view bytes);
    // Flushes the file, renames it over the target and flushes the folder.
    void Commit();

  private:
    [[noreturn]] void Abandon(int error);
    // Gives the unnamed temporary file a temporary name in the folder.
    void LinkIn();
    void Forget();  // the temporary name no longer needs removing

    std::string path_;    // as given, for the messages
    std::string target_;  // the file replaced: path_ with its symbolic links followed
    std::string folder_;  // the target's folder, "" for the working directory
    std::string temp_;    // the temporary file's name; empty while it has none
    int fd_ = -1;
    int slot_ = -1;  // where the signal handler finds temp_
};

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files of the writers under way
// before they end the program as they would have (a signal the program ignores stays
// ignored). For a command-line program, whose user stops a long write with Ctrl-C.
void RemoveTemporaryFilesOnSignals();

// Writes `bytes` as the whole new content of `path` through AtomicFileWriter.
void WriteFileAtomically(const std::string& path, std::string_view bytes,
                         Lang lang = Lang::English);

// "<reason>: <path>" for an input/output failure with errno `error`; the path quoted as
// QuotePathForMessage quotes it.
std::string IoErrorText(int error, const std::string& path);

}  // namespace dorvalix
