// The one way the tools write a file: pictures now, anything else they save
// later.
//
// "-" is standard output. Any other path must name a regular file this
// user may write to, or nothing: a directory, device, FIFO or socket there,
// or a read-only file, is refused, never replaced. A symbolic link is followed, so the file it
// points to is written and the link stays. The data goes to a temporary file beside that target,
// which is renamed onto it only once everything is written, so a failed write
// leaves the old file whole and no half file under its name. A replaced file
// keeps its mode (and, where the process may set it, its owner).
#pragma once

#include <cstddef>
#include <string>

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // An output that was not committed is removed.
    ~OutputFile();

    // Opens `path` for writing. False, with error() set, when it is refused
    // or cannot be created.
    bool open(const std::string& path);
    // Appends bytes. False, with error() set, once any write has failed.
    bool write(const void* data, size_t size);
    // Puts the written file in place (flushes standard output). False, with
    // error() set, if anything written was lost.
    bool commit();

    // "cannot write PATH: REASON", naming standard output as such.
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& reason);
    void discard();

    std::string name_;       // the path as given, for messages
    std::string target_;     // the file that is replaced
    std::string temporary_;  // where the data goes until commit()
    int fd_ = -1;            // the temporary file
    bool to_stdout_ = false;
    std::string error_;
};
