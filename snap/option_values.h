// The values nprsnap's options take, read from their text: numbers, and options that say what they want.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <string_view>

// text between double quotes, for a refusal's line.
std::string inQuotes(std::string_view text);

// text in lower case (ASCII letters only).
std::string lowerCase(std::string_view text);

// The shortest text that reads back as value: "12.7", "210".
std::string shortest(float value);
std::string shortest(double value);

// A finite decimal number, the whole text; from_chars gives the float nearest it, as the model loader does.
// False, value unchanged, otherwise.
bool parseFloat(std::string_view text, float& value);

// A finite number, the whole text, in double precision. False otherwise.
bool parseNumber(std::string_view text, double& value);

// NaN unless the whole text is a decimal number; in double precision, as mesh2poly reads its --turn.
double parseDouble(std::string_view text);

// A whole number from low to high, the whole text. False, value unchanged, otherwise.
bool parseInt(std::string_view text, int low, int high, int& value);

// A number option whose refusal says what it wants ("wants a number (degrees), not "x""), stored into field
// as a float; its help shows field's value as the default.
CLI::Option* addNumber(CLI::App& app, const char* names, float& field, const char* unit,
                       const std::string& help);

// A whole number option from low to high (INT_MAX for no bound), stored into field.
CLI::Option* addWholeNumber(CLI::App& app, const char* names, int& field, int low, int high,
                            const std::string& help);

// An option whose text parse reads into a Value: stores what it reads through store, or is refused with
// "wants WANTS, not "TEXT"". The check runs before the store.
template <class Value, class Parse>
CLI::Option* addParsed(CLI::App& app, const char* names, Parse parse, std::function<void(const Value&)> store,
                       const std::string& wants, const std::string& help) {
  return app
      .add_option_function<std::string>(
          names,
          [parse, store](const std::string& text) {
            Value value{};
            if (parse(text, value)) {
              store(value);
            }
          },
          help)
      ->check(CLI::Validator(
          [parse, wants](std::string& text) {
            Value unused{};
            return parse(text, unused) ? std::string() : "wants " + wants + ", not " + inQuotes(text);
          },
          ""));
}
