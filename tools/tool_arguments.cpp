// Parsing a tool's arguments and turning CLI11's verdicts into an exit status.
#include "tool_arguments.h"

#include <cstdio>
#include <string>

#include "printable.h"

int parseToolArguments(CLI::App& app, int argc, char** argv) {
  app.set_version_flag("--version", app.get_name() + " " NPRVIEW_VERSION, "print the version and exit");
  app.footer(
      "An output path that starts with '-' goes after '--'. Exit status: 0 when written, 1 when it "
      "cannot be\nread or written, 2 for bad arguments; each failure is one line on standard error.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return 0;
  } catch (const CLI::CallForVersion& version) {
    std::printf("%s\n", version.what());
    return 0;
  } catch (const CLI::ParseError& error) {
    std::string line = error.what();
    for (char& c : line) {
      c = c == '\n' ? ' ' : c;
    }
    std::fprintf(stderr, "%s: %s (%s --help shows the usage)\n", app.get_name().c_str(),
                 printable(line).c_str(), app.get_name().c_str());
    return 2;
  }
  return -1;
}
