// Output files that are replaced whole or not at all.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

// The descriptor an output name stands for when it names a stream rather than a file: 1 for "-" and
// "/dev/stdout", 2 for "/dev/stderr", N for "/dev/fd/N" and "/proc/self/fd/N" (what bash's >(...) hands
// over). -1 for any other name.
int streamDescriptor(std::string_view path);

// A file written in pieces and put in place whole. The bytes go to a temporary file in the target's folder:
// an unnamed one (O_TMPFILE) where the file system offers it, which no signal, not even SIGKILL, can leave
// behind, else a hidden named one beside the target. commit() gives it the target's name; a device, a FIFO
// or a stream (streamDescriptor) takes the bytes as they come instead. Destroyed without a successful
// commit(), it drops the temporary file, so what was at the path stays exactly as before. While a named
// temporary exists, SIGINT, SIGTERM, SIGHUP and SIGQUIT remove it before the program ends as the signal
// meant (one file at a time per process is guarded; signals that were ignored stay ignored), and a file
// size limit (SIGXFSZ) makes the write fail with "File too large" instead of ending the program.
// Which targets are replaced, and which symlinks are followed, is as writeOutputFile says.
class OutputFile {
 public:
  enum class Temporary { Unnamed, Named };
  // Named makes every temporary a named one, as on a file system without unnamed files.
  explicit OutputFile(Temporary temporary = Temporary::Unnamed) : namedOnly_(temporary == Temporary::Named) {}
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
  bool openInPlace(const struct stat& info, const struct stat& folderInfo);
  bool createTemporary();
  int placeFile();
  int nameTemporary();
  void discard();

  bool namedOnly_;
  int fd_ = -1;
  int folder_ = -1;        // the target's folder, opened O_PATH
  std::string name_;       // the target's name in folder_
  std::string temporary_;  // the temporary file's name in folder_, while it has one
  bool unnamed_ = false;   // fd_ is an unnamed file in folder_
  bool inPlace_ = false;   // a device, a FIFO or a stream: written as it comes
  bool ownsFd_ = false;
  bool guarded_ = false;  // this file's temporary is the one the guarded signals remove
  bool hadFile_ = false;  // a regular file was at the target; old_ describes it
  struct stat old_ {};
  int failure_ = 0;
};

// Writes bytes to path so that on any failure what was at path is exactly as before. On failure returns
// false and sets error to the system's reason ("No space left on device", "Permission denied", ...).
// A regular file is replaced only once the new bytes are complete on disk, and keeps its permission bits;
// a new file gets 0666 less the umask, and is never put over anything that appears at its name meanwhile
// but a regular file. Every name of the path is taken as it is found, without following a link the walk
// has not just checked (resolveTrustedPath): a symlink is followed and its target replaced, so the link
// stays, except where the system would refuse to follow it: in a sticky folder anyone may write to (such as
// /tmp), a link owned by someone other than the writer and the folder's owner is refused ("Permission
// denied"), and so is such an owner's FIFO or device. An existing path that is not a regular file (a
// device, a FIFO) is written to in place, never removed; one's own FIFO is waited on for a reader, as a
// shell's redirection waits. Streams (streamDescriptor) are written as they are. A file without write
// permission is refused, though the folder would allow replacing it.
bool writeOutputFile(const std::string& path, std::string_view bytes, std::string& error);

// Removes the named temporary file of the output being written, if any; safe to call from a signal
// handler, for a program that ends itself there (a time limit). An unnamed one goes with the program.
void removeTemporaryOutput();

// True when both paths exist and name the same file (same device and inode), through symlinks.
bool isSameFile(const std::string& a, const std::string& b);

// Returns false and sets error ("File name too long") when a part of path is longer than a file name may
// be (NAME_MAX) or the whole is longer than a path may be (PATH_MAX), so a name can be refused before any
// work is done for it.
bool isNameWithinLimits(std::string_view path, std::string& error);
