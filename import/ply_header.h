// The header of a PLY file as assimp's reader takes it, for the pre-check and the direct reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class PlyType { None, Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

// The bytes of a value of the type; 0 for None.
int plyTypeSize(PlyType type);

struct PlyProperty {
  std::string name;
  PlyType type = PlyType::None;       // of the value, or of each item of a list
  PlyType countType = PlyType::None;  // of a list's length; None for a single value
};

struct PlyElement {
  std::string name;
  std::uint64_t count = 0;
  std::vector<PlyProperty> properties;
};

enum class PlyFormat { Ascii, BinaryLittleEndian, BinaryBigEndian };

struct PlyHeader {
  std::vector<PlyElement> elements;
  PlyFormat format = PlyFormat::Ascii;
  int formatLine = 0;     // the line number of the format line, 1 being the magic
  std::string_view body;  // the bytes after the end_header line
};

// Reads the header that bytes start with ("ply" first): true when it is complete, and laid out as assimp
// reads it: every property line in the list of the element line above it (assimp ends a list at a comment,
// obj_info or unknown line, and drops the property lines after it), no element of a name assimp does not
// know followed by one with instances (assimp reads such an element's count as 0), types it knows. Comment,
// obj_info, blank and unknown lines elsewhere are skipped, as assimp skips them. False with the reason
// otherwise. Reads only the header.
bool readPlyHeader(std::string_view bytes, PlyHeader& header, std::string& reason);
