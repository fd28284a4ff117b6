// PNG files through libpng: 8-bit RGB or RGBA in, 8-bit RGB or RGBA out.
#pragma once

#include <string>

#include "rgb_image.h"

// Writes image as an 8-bit RGB PNG, or RGBA when it has alpha, whole or not at all (writeOutputFile). Returns
// false and fills error with the system's reason when the file cannot be written, or libpng's when the image
// is empty or inconsistent.
bool writePng(const std::string& path, const RgbImage& image, std::string& error);

// Reads any PNG, converted to 8-bit RGB; one with an alpha channel also fills alpha.
// Returns false and fills error when the file cannot be read or is not a PNG.
bool readPng(const std::string& path, RgbImage& image, std::string& error);
