// The child's answer: written as a message and arrays, read back and checked by the parent.
#include "import_answer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kAnswerMesh = 'M';
constexpr char kAnswerError = 'E';

struct MeshCounts {
  std::uint64_t positions;
  std::uint64_t faces;
};

bool writeAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Reads exactly size bytes at offset; false when the file holds fewer.
bool readAll(int fd, void* data, size_t size, off_t offset) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = pread(fd, bytes, size, offset);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return false;
    }
    bytes += got;
    offset += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool facesInRange(const PolyMesh& mesh, std::string& error) {
  for (const auto& face : mesh.faces) {
    for (int corner : face) {
      if (corner < 0 || static_cast<size_t>(corner) >= mesh.positions.size()) {
        error = "the importer gave a face with corner " + std::to_string(corner) + " of " +
                std::to_string(mesh.positions.size()) + " vertices";
        return false;
      }
    }
  }
  return true;
}

bool countsFitModel(std::uint64_t positions, std::uint64_t faces, std::string& error) {
  if (positions > INT_MAX || faces > INT_MAX) {
    error = "it has more vertices or faces than a model file can hold";
    return false;
  }
  return true;
}

// The arrays into mesh, sized by counts that a model can hold; false with the reason otherwise.
bool readArrays(const MeshCounts& counts, int arraysFd, PolyMesh& mesh, std::string& error) {
  if (!countsFitModel(counts.positions, counts.faces, error)) {
    return false;
  }
  const std::uint64_t positionBytes = counts.positions * sizeof mesh.positions[0];
  const std::uint64_t faceBytes = counts.faces * sizeof mesh.faces[0];
  struct stat status {};
  if (fstat(arraysFd, &status) != 0 ||
      static_cast<std::uint64_t>(status.st_size) != positionBytes + faceBytes) {
    error = "the importer announced " + std::to_string(counts.positions) + " vertices and " +
            std::to_string(counts.faces) + " faces, but its arrays hold " + std::to_string(status.st_size) +
            " bytes";
    return false;
  }
  mesh.positions.resize(counts.positions);
  mesh.faces.resize(counts.faces);
  mesh.normals.clear();
  if (!readAll(arraysFd, mesh.positions.data(), positionBytes, 0) ||
      !readAll(arraysFd, mesh.faces.data(), faceBytes, static_cast<off_t>(positionBytes))) {
    error = "the importer's arrays ended early";
    return false;
  }
  return true;
}

}  // namespace

bool sendMeshAnswer(const PolyMesh& mesh, int messageFd, int arraysFd) {
  const MeshCounts counts{mesh.positions.size(), mesh.faces.size()};
  std::string message(1, kAnswerMesh);
  message.append(reinterpret_cast<const char*>(&counts), sizeof counts);
  return writeAll(arraysFd, mesh.positions.data(), counts.positions * sizeof mesh.positions[0]) &&
         writeAll(arraysFd, mesh.faces.data(), counts.faces * sizeof mesh.faces[0]) &&
         writeAll(messageFd, message.data(), message.size());
}

bool sendErrorAnswer(const std::string& reason, int messageFd) {
  const std::string message = kAnswerError + reason.substr(0, kLongestAnswerMessage - 1);
  return writeAll(messageFd, message.data(), message.size());
}

bool readImportAnswer(std::string_view message, int arraysFd, PolyMesh& mesh, std::string& error) {
  if (message.size() > 1 && message[0] == kAnswerError) {
    error = message.substr(1);
    return false;
  }
  MeshCounts counts{};
  if (message.size() != 1 + sizeof counts || message[0] != kAnswerMesh) {
    error = "the importer's answer is malformed";
    return false;
  }
  std::memcpy(&counts, message.data() + 1, sizeof counts);
  PolyMesh answer;
  if (!readArrays(counts, arraysFd, answer, error) || !checkImportedMesh(answer, error)) {
    return false;
  }
  mesh = std::move(answer);
  return true;
}

std::string notFiniteReason(const char* when, const char* what, const std::array<float, 3>& point) {
  char text[200];
  std::snprintf(text, sizeof text, "%s it has a %s at (%g, %g, %g): coordinates that are not finite numbers",
                when, what, double(point[0]), double(point[1]), double(point[2]));
  return text;
}

bool allFinite(const PolyMesh& mesh, const char* when, std::string& error) {
  for (const auto* points : {&mesh.positions, &mesh.normals}) {
    for (const auto& p : *points) {
      if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) {
        error = notFiniteReason(when, points == &mesh.positions ? "vertex" : "normal", p);
        return false;
      }
    }
  }
  return true;
}

bool checkImportedMesh(const PolyMesh& mesh, std::string& error) {
  return countsFitModel(mesh.positions.size(), mesh.faces.size(), error) &&
         allFinite(mesh, "as read,", error) && facesInRange(mesh, error);
}
