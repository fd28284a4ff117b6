// A ceiling on a whole run, which a program that draws files it did not choose (a thumbnailer) can rely on.
#pragma once

#include <string>

// From now, after seconds of wall-clock time, whatever the program is doing (importing in its contained
// child, drawing, tracing, writing), the output being written is dropped (removeTemporaryOutput), line
// and an end of line go to standard error, and the program exits with status. The import's child ends with
// it, as it ends with its parent. Returns false when the timer cannot be set. Needs seconds > 0.
bool startTimeLimit(double seconds, const std::string& line, int status);
