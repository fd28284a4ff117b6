// The values nprsnap's options take, read from their text.
#include "option_values.h"

#include <charconv>
#include <cmath>
#include <limits>

std::string inQuotes(std::string_view text) {
  std::string result(1, '"');
  result.append(text);
  result.push_back('"');
  return result;
}

bool parseFloat(std::string_view text, float& value) {
  float parsed = 0.0f;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (status != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed)) {
    return false;
  }
  value = parsed;
  return true;
}

double parseDouble(std::string_view text) {
  double parsed = 0.0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  return status == std::errc() && end == text.data() + text.size() ? parsed : std::nan("");
}

bool parseInt(std::string_view text, int low, int high, int& value) {
  int parsed = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (status != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) {
    return false;
  }
  value = parsed;
  return true;
}

std::string shortest(float value) {
  char text[32];
  const auto [end, status] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, status == std::errc() ? end : text);
}

std::string shortest(double value) {
  char text[32];
  const auto [end, status] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, status == std::errc() ? end : text);
}

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return lower;
}

bool parseNumber(std::string_view text, double& value) {
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  return status == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

CLI::Option* addNumber(CLI::App& app, const char* names, float& field, const char* unit,
                       const std::string& help) {
  return app
      .add_option_function<std::string>(
          names, [&field](const std::string& text) { parseFloat(text, field); }, help)
      ->check(CLI::Validator(
          [unit](std::string& text) {
            float unused;
            return parseFloat(text, unused)
                       ? std::string()
                       : std::string("wants a number (") + unit + "), not " + inQuotes(text);
          },
          ""))
      ->type_name(unit == std::string_view("degrees") ? "DEGREES" : "D")
      ->default_str(shortest(field));
}

CLI::Option* addWholeNumber(CLI::App& app, const char* names, int& field, int low, int high,
                            const std::string& help) {
  return app
      .add_option_function<std::string>(
          names, [&field, low, high](const std::string& text) { parseInt(text, low, high, field); }, help)
      ->check(CLI::Validator(
          [low, high](std::string& text) {
            int unused;
            return parseInt(text, low, high, unused)
                       ? std::string()
                       : "wants a whole number from " + std::to_string(low) +
                             (high == std::numeric_limits<int>::max() ? std::string(" up")
                                                                      : " to " + std::to_string(high)) +
                             ", not " + inQuotes(text);
          },
          ""))
      ->type_name("N")
      ->default_str(std::to_string(field));
}
