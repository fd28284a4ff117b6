// Where the viewer's data files are found: the working directory's data/ first, else the installed copy, else
// for a program run from its build tree the source tree's.
#pragma once

#include <string>

// The path to open for relativePath, a name under data/ as the model catalogue and the hatching images
// give it ("data/sphere-unit.poly"): relativePath itself when a regular file is at that name in the working
// directory, as the viewer has always looked (a FIFO or a link to a device there is no data file); else the
// same file in the data folder installed with the program (share/nprview/data beside the executable's bin/,
// found from the executable's own path, so a moved install still finds it) when it is there; else, for a
// program that runs from the build tree (and not from an install), the same file in the data/ of the source
// tree the build was made from; else relativePath, so that a file found nowhere is reported under the name it
// has always had.
std::string dataFilePath(const std::string& relativePath);
