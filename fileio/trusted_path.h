// Finding where an output path leads, one name at a time, following only the links the writer may trust.
#pragma once

#include <sys/stat.h>

#include <string>

// The folder and name that path finally leads to, with what is there.
struct ResolvedPath {
  int folder = -1;   // the last folder, opened O_PATH; the caller closes it
  std::string name;  // the last name in it, never a link the walk could follow
  bool exists = false;
  struct stat info {};  // what is at name, not following a link, when it exists
  struct stat folderInfo {};
};

// The rule of fs.protected_symlinks and fs.protected_fifos, kept whatever the system's settings: in a
// sticky folder that anyone may write to, an entry that is neither the writer's nor the folder owner's may
// have been put there by anyone, to point anywhere.
bool isTrustedEntry(const struct stat& folder, const struct stat& entry);

// Walks path from the working folder (or from / for an absolute one) name by name, each opened with
// O_NOFOLLOW from the folder before it, so that every link taken is the entry that was checked: a link is
// read from the very entry found, and only when isTrustedEntry allows it. At most 40 links. On success the
// last name is a non-link or nothing at all (a dangling link leads to the name it points to). Returns false
// and sets error (an errno value) otherwise: EACCES for an untrusted link, EISDIR for a path that ends in a
// folder, ELOOP, or the system's reason. path must not be empty.
bool resolveTrustedPath(const std::string& path, ResolvedPath& resolved, int& error);
