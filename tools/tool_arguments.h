// The data tools' command lines: CLI11 with --help and --version, each refusal one line and exit status 2.
#pragma once

#include <CLI/CLI.hpp>

// Parses argv into app, named for the tool. Returns -1 when the tool is to go on; else the status to end
// with: 0 once --help (the usage) or --version has been printed on standard output, 2 once a bad argument
// has been named in one line on standard error. An argument that starts with "-" is taken for an option, so
// an output path such as "-x.poly" comes after "--".
int parseToolArguments(CLI::App& app, int argc, char** argv);
