// The one way the programs write a file: pictures, recordings, anything
// they save.
//
// "-" is standard output. Any other path must name a regular file this
// user may write to, or nothing: a directory, device, FIFO or socket there,
// or a read-only file, is refused, never replaced. A symbolic link is followed, so the file it
// points to is written and the link stays. The data goes to a temporary file beside that target,
// which is renamed onto it only once everything is written, so a failed write
// leaves the old file whole and no half file under its name. A replaced file
// keeps its mode (and, where the process may set it, its owner).
//
// A file written as it grows (a recording of a running session) is written
// in place instead: the same checks, but the file itself is truncated and
// written, so that whatever was flushed before a crash is there; a failed
// or uncommitted file is kept as far as it was written.
//
// Standard output and the messages are handled here once
// (output_file.cpp); the file system's part is each platform's own
// (output_file_posix.cpp, output_file_win32.cpp): on Windows the file is
// replaced with ReplaceFile, which keeps the old file's attributes and
// access rights, and a device name ("NUL", "COM1") is refused like a
// device path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Whether `path` names standard output. Whatever writes a file there writes
// nothing else there (no listing, no dump): the output is that file alone.
inline bool is_standard_output(const std::string& path) {
    return path == "-";
}

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // An output that was not committed is removed.
    ~OutputFile();

    enum class Placement { on_commit, in_place };

    // Opens `path` for writing. False, with error() set, when it is refused
    // or cannot be created.
    bool open(const std::string& path, Placement placement = Placement::on_commit);
    // Appends bytes. False, with error() set, once any write has failed.
    bool write(const void* data, size_t size);
    // Hands what was written to the system (standard output is flushed;
    // a file is written unbuffered already). False once a write has failed.
    bool flush();
    // Puts the written file in place (flushes standard output). False, with
    // error() set, if anything written was lost.
    bool commit();

    // "cannot write PATH: REASON", naming standard output as such.
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& reason);

    // The platform's part. open_file: the checks, then the temporary file
    // (or, in place, the file itself) opened in file_; false with the
    // reason after fail(). write_file: all of the bytes, or fail().
    // close_file: closes file_ and, unless in place, puts the temporary
    // file in place (or removes it and fails). discard: closes file_ and
    // removes the temporary file, if any.
    bool open_file(Placement placement);
    bool write_file(const char* bytes, size_t size);
    bool close_file();
    void discard();
    // Standard output set up to take bytes as they are (no line-break
    // translation).
    static void binary_stdout();

    std::string name_;       // the path as given, for messages
    std::string target_;     // the file that is replaced
    std::string temporary_;  // where the data goes until commit()
    // The open file (the temporary one, or the file itself in place): a
    // descriptor, or a Windows handle's value; -1 when none is open.
    intptr_t file_ = -1;
    bool to_stdout_ = false;
    bool in_place_ = false;
    std::string error_;
};
