// Nearest-point queries over a fixed set of points, each belonging to an item that can be taken away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TreePoint {
  double x;
  double y;
  uint32_t item;   // what the point belongs to (a stroke)
  uint32_t which;  // which of the item's points it is
};

// A k-d tree built once over its points. Queries skip the points of removed items; a removal costs the
// depth of the tree per point of the item.
class PointTree {
 public:
  // points may be empty; items are numbered below itemCount.
  PointTree(std::vector<TreePoint> points, uint32_t itemCount);

  // The point nearest (x, y) of an item not removed; of points as near, the one of the lowest item, then
  // of the lowest which. False when every item is removed.
  bool nearest(double x, double y, TreePoint& found) const;
  // Up to k points nearest (x, y), nearest first, ranked as nearest() ranks them, of items not removed and
  // other than skipItem.
  void nearestPoints(double x, double y, size_t k, uint32_t skipItem, std::vector<TreePoint>& found) const;
  // Takes every point of item out of later answers.
  void remove(uint32_t item);

 private:
  struct Node {
    double minX, minY, maxX, maxY;
    uint32_t begin, end;   // the points below it, in points_
    uint32_t left, right;  // kLeaf for a leaf
    uint32_t alive;        // points below it of items not removed
  };
  static constexpr uint32_t kLeaf = UINT32_MAX;
  uint32_t build(uint32_t begin, uint32_t end, int depth);
  double boxDistance(const Node& node, double x, double y) const;

  std::vector<TreePoint> points_;
  std::vector<Node> nodes_;
  std::vector<uint8_t> removed_;     // per point of points_
  std::vector<uint32_t> itemFirst_;  // itemPoints_[itemFirst_[i], itemFirst_[i + 1]): item i's places
  std::vector<uint32_t> itemPoints_;
  // Scratch for the queries, kept from one to the next.
  struct Candidate {
    double distance;
    uint32_t item, which, index;
    bool operator<(const Candidate& other) const {
      return distance != other.distance ? distance < other.distance
             : item != other.item       ? item < other.item
                                        : which < other.which;
    }
  };
  mutable std::vector<Candidate> best_;
  mutable std::vector<uint32_t> stack_;
  mutable std::vector<TreePoint> one_;
};
