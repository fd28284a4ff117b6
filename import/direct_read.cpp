// The direct readers: the vertex and face blocks of binary PLY and STL files decoded into the arrays.
#include "direct_read.h"

#include <bit>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>

#include "ply_header.h"

namespace {

// How assimp picks its reader: by the name's end, in any case.
bool hasExtension(const std::string& path, std::string_view extension) {
  if (path.size() < extension.size()) {
    return false;
  }
  const std::string_view end = std::string_view(path).substr(path.size() - extension.size());
  for (size_t i = 0; i < end.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(end[i])) != extension[i]) {
      return false;
    }
  }
  return true;
}

// An unsigned integer of size bytes at bytes, stored little- or big-endian.
std::uint32_t loadUnsigned(const char* bytes, int size, bool bigEndian) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) {
    value = value << 8 | static_cast<unsigned char>(bytes[bigEndian ? i : size - 1 - i]);
  }
  return value;
}

float loadFloat(const char* bytes, bool bigEndian) {
  if (!bigEndian && std::endian::native == std::endian::little) {
    float value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
  }
  return std::bit_cast<float>(loadUnsigned(bytes, 4, bigEndian));
}

// Assimp reads an STL file as text first: one that starts with a UTF-8, UTF-16 or UTF-32 byte order mark
// it converts, or swaps byte for byte, before it looks at the triangle count.
bool startsWithByteOrderMark(std::string_view bytes) {
  using namespace std::string_view_literals;
  for (const std::string_view mark : {"\xEF\xBB\xBF"sv, "\xFE\xFF"sv, "\xFF\xFE"sv, "\0\0\xFE\xFF"sv}) {
    if (bytes.starts_with(mark)) {
      return true;
    }
  }
  return false;
}

// Assimp's binary STL reader: the three corners of each triangle in order, a vertex each.
bool readStl(std::string_view bytes, PolyMesh& mesh) {
  if (bytes.size() < 84 || startsWithByteOrderMark(bytes)) {
    return false;
  }
  const std::uint64_t count = loadUnsigned(bytes.data() + 80, 4, false);
  if (count == 0 || 84 + 50 * count != bytes.size() || 3 * count > INT_MAX) {
    return false;
  }
  mesh.positions.resize(3 * count);
  mesh.faces.resize(count);
  // Each triangle: its normal, three corners, two bytes of attributes.
  const char* triangle = bytes.data() + 84;
  for (size_t i = 0; i < count; ++i, triangle += 50) {
    for (size_t corner = 0; corner < 3; ++corner) {
      for (size_t axis = 0; axis < 3; ++axis) {
        mesh.positions[3 * i + corner][axis] = loadFloat(triangle + 12 + 12 * corner + 4 * axis, false);
      }
    }
    const int first = static_cast<int>(3 * i);
    mesh.faces[i] = {first, first + 1, first + 2};
  }
  return true;
}

// Where x, y and z lie in a vertex record of the element, and its size; false when the element is not one
// the direct reader takes.
bool vertexLayout(const PlyElement& vertex, size_t (&offsets)[3], size_t& stride) {
  bool found[3] = {false, false, false};
  stride = 0;
  for (const PlyProperty& property : vertex.properties) {
    if (property.countType != PlyType::None) {
      return false;
    }
    const int axis = property.name == "x" ? 0 : property.name == "y" ? 1 : property.name == "z" ? 2 : -1;
    if (axis >= 0) {
      // Assimp would take the last of two x's, and convert other types.
      if (found[axis] || property.type != PlyType::Float32) {
        return false;
      }
      found[axis] = true;
      offsets[axis] = stride;
    }
    stride += static_cast<size_t>(plyTypeSize(property.type));
  }
  return found[0] && found[1] && found[2];
}

bool isIndexList(const PlyElement& face) {
  if (face.properties.size() != 1) {
    return false;
  }
  const PlyProperty& list = face.properties[0];
  const bool integerCount = list.countType != PlyType::None && list.countType != PlyType::Float32 &&
                            list.countType != PlyType::Float64;
  return (list.name == "vertex_indices" || list.name == "vertex_index") && integerCount &&
         (list.type == PlyType::Int32 || list.type == PlyType::UInt32);
}

bool readPlyBlocks(const PlyHeader& header, PolyMesh& mesh) {
  const PlyElement& vertex = header.elements[0];
  const PlyElement& face = header.elements[1];
  size_t offsets[3] = {0, 0, 0}, stride = 0;
  if (!vertexLayout(vertex, offsets, stride) || !isIndexList(face) || vertex.count > INT_MAX ||
      face.count > INT_MAX) {
    return false;
  }
  const int countSize = plyTypeSize(face.properties[0].countType);
  const size_t faceSize = static_cast<size_t>(countSize) + 12;
  const std::string_view body = header.body;
  if (stride == 0 || vertex.count > body.size() / stride ||
      face.count > (body.size() - vertex.count * stride) / faceSize) {
    return false;
  }
  const bool bigEndian = header.format == PlyFormat::BinaryBigEndian;
  mesh.positions.resize(vertex.count);
  const char* record = body.data();
  for (auto& position : mesh.positions) {
    for (size_t axis = 0; axis < 3; ++axis) {
      position[axis] = loadFloat(record + offsets[axis], bigEndian);
    }
    record += stride;
  }
  mesh.faces.resize(face.count);
  for (auto& corners : mesh.faces) {
    if (loadUnsigned(record, countSize, bigEndian) != 3) {
      return false;
    }
    for (size_t k = 0; k < 3; ++k) {
      // Assimp takes a negative index as unsigned, and so beyond the vertices.
      const std::uint32_t index = loadUnsigned(record + countSize + 4 * k, 4, bigEndian);
      if (index >= vertex.count) {
        return false;
      }
      corners[k] = static_cast<int>(index);
    }
    record += faceSize;
  }
  return true;
}

bool readPly(std::string_view bytes, PolyMesh& mesh) {
  PlyHeader header;
  std::string reason;
  if (!(bytes.starts_with("ply\n") || bytes.starts_with("ply\r\n")) ||
      !readPlyHeader(bytes, header, reason) || header.format == PlyFormat::Ascii || header.formatLine != 2 ||
      header.elements.size() != 2 || header.elements[0].name != "vertex" ||
      header.elements[1].name != "face" || header.elements[0].count == 0 || header.elements[1].count == 0) {
    return false;
  }
  return readPlyBlocks(header, mesh);
}

}  // namespace

bool readDirectly(const std::string& path, std::string_view bytes, PolyMesh& mesh) {
  const bool read = hasExtension(path, ".stl")   ? readStl(bytes, mesh)
                    : hasExtension(path, ".ply") ? readPly(bytes, mesh)
                                                 : false;
  if (!read) {
    mesh = PolyMesh();
  }
  return read;
}
