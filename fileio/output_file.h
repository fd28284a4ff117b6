// Output files that are replaced whole or not at all.
#pragma once

#include <string>
#include <string_view>

// Writes bytes to path so that on any failure what was at path is exactly as before. On failure returns
// false and sets error to the system's reason ("No space left on device", "Permission denied", ...).
// A regular file is replaced only once the new bytes are complete on disk, and keeps its permission bits;
// a new file gets 0666 less the umask. A symlink is followed and its target replaced, so the link stays.
// An existing path that is not a regular file (a device, a FIFO) is written to in place, never removed.
// A file without write permission is refused, though the folder would allow replacing it.
bool writeOutputFile(const std::string& path, std::string_view bytes, std::string& error);

// True when both paths exist and name the same file (same device and inode), through symlinks.
bool isSameFile(const std::string& a, const std::string& b);
