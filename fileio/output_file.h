// Output files that are replaced whole or not at all.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

// True for the names that mean standard output: "-" and "/dev/stdout".
bool isStandardOutput(std::string_view path);

// A file written in pieces and put in place whole. Bytes go to a hidden temporary file beside the target,
// which commit() renames over it; a device, a FIFO or standard output ("-", "/dev/stdout") takes them as
// they come instead. Destroyed without a successful commit(), it removes the temporary file, so what was at
// the path stays exactly as before. While the temporary file exists, SIGINT and SIGTERM remove it before the
// program ends (one file at a time per process is guarded; signals that were ignored stay ignored).
// Which targets are replaced, and which symlinks are followed, is as writeOutputFile says.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Prepares path for writing. Returns false when it cannot be written; error() then says why.
  bool open(const std::string& path);
  // Appends bytes. Returns false once anything has failed; nothing more is written then.
  bool write(std::string_view bytes);
  // Makes the bytes written the file at path, on disk. Returns false when anything has failed; what was at
  // the path is then as before.
  bool commit();
  // The system's reason for the first failure ("No space left on device", "Broken pipe", ...); empty before.
  std::string error() const;

 private:
  void discard();

  int fd_ = -1;
  bool inPlace_ = false;  // a device, a FIFO or standard output: written as it comes
  bool ownsFd_ = false;
  bool guarded_ = false;  // this file's temporary is the one SIGINT and SIGTERM remove
  bool hadFile_ = false;  // a regular file was at the target; old_ describes it
  struct stat old_ {};
  std::string target_;
  std::string temporary_;
  int failure_ = 0;
};

// Writes bytes to path so that on any failure what was at path is exactly as before. On failure returns
// false and sets error to the system's reason ("No space left on device", "Permission denied", ...).
// A regular file is replaced only once the new bytes are complete on disk, and keeps its permission bits;
// a new file gets 0666 less the umask. A symlink is followed and its target replaced, so the link stays,
// except where the system would refuse to follow it: in a sticky folder anyone may write to (such as /tmp),
// a link owned by someone other than the writer and the folder's owner is refused ("Permission denied").
// An existing path that is not a regular file (a device, a FIFO) is written to in place, never removed;
// "-" and "/dev/stdout" are standard output. A file without write permission is refused, though the folder
// would allow replacing it.
bool writeOutputFile(const std::string& path, std::string_view bytes, std::string& error);

// True when both paths exist and name the same file (same device and inode), through symlinks.
bool isSameFile(const std::string& a, const std::string& b);

// Returns false and sets error ("File name too long") when a part of path is longer than a file name may
// be (NAME_MAX) or the whole is longer than a path may be (PATH_MAX), so a name can be refused before any
// work is done for it.
bool isNameWithinLimits(std::string_view path, std::string& error);
