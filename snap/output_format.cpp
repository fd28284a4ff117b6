// Output names to formats: the one table, read by the command line, the writer and the help.
#include "output_format.h"

#include <algorithm>
#include <cctype>

std::string outputExtension(std::string_view path) {
  const std::string_view name = path.substr(path.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) {
    return {};
  }
  std::string extension(name.substr(dot + 1));
  const bool formatLike =
      !extension.empty() && extension.size() <= 5 &&
      std::all_of(extension.begin(), extension.end(), [](unsigned char c) { return std::isalnum(c) != 0; });
  if (!formatLike) {
    return {};
  }
  for (char& c : extension) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return extension;
}

std::optional<OutputFormat> outputFormatOf(std::string_view path) {
  const std::string extension = outputExtension(path);
  if (extension.empty()) {
    return kDefaultOutputFormat;
  }
  for (const OutputFormatEntry& entry : kOutputFormats) {
    if (entry.extension == extension) {
      return entry.format;
    }
  }
  return std::nullopt;
}

const OutputFormatEntry& outputFormatEntry(OutputFormat format) {
  return *std::find_if(std::begin(kOutputFormats), std::end(kOutputFormats),
                       [format](const OutputFormatEntry& entry) { return entry.format == format; });
}

std::string outputExtensionList() {
  std::string list;
  for (size_t i = 0; i < std::size(kOutputFormats); ++i) {
    list += (i == 0 ? "" : i + 1 == std::size(kOutputFormats) ? " or " : ", ");
    list += '.';
    list += kOutputFormats[i].extension;
  }
  return list;
}
