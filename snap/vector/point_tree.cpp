// A k-d tree with removable items: points split at the median of the wider side, a few to a leaf.
#include "point_tree.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace {

constexpr uint32_t kLeafSize = 8;

}  // namespace

PointTree::PointTree(std::vector<TreePoint> points, uint32_t itemCount)
    : points_(std::move(points)), removed_(points_.size(), 0) {
  if (!points_.empty()) {
    nodes_.reserve(2 * (points_.size() / kLeafSize + 1));
    build(0, static_cast<uint32_t>(points_.size()), 0);
  }
  itemFirst_.assign(itemCount + 1, 0);
  for (const TreePoint& p : points_) {
    ++itemFirst_[p.item + 1];
  }
  for (uint32_t i = 0; i < itemCount; ++i) {
    itemFirst_[i + 1] += itemFirst_[i];
  }
  itemPoints_.resize(points_.size());
  std::vector<uint32_t> next(itemFirst_.begin(), itemFirst_.end() - 1);
  for (uint32_t i = 0; i < points_.size(); ++i) {
    itemPoints_[next[points_[i].item]++] = i;
  }
}

uint32_t PointTree::build(uint32_t begin, uint32_t end, int depth) {
  const uint32_t index = static_cast<uint32_t>(nodes_.size());
  Node node{std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity(),
            begin,
            end,
            kLeaf,
            kLeaf,
            end - begin};
  for (uint32_t i = begin; i < end; ++i) {
    node.minX = std::min(node.minX, points_[i].x);
    node.minY = std::min(node.minY, points_[i].y);
    node.maxX = std::max(node.maxX, points_[i].x);
    node.maxY = std::max(node.maxY, points_[i].y);
  }
  nodes_.push_back(node);
  // Points all in one place cannot be split; the depth bound keeps such a crowd from recursing deeply.
  if (end - begin <= kLeafSize || depth > 64) {
    return index;
  }
  const bool alongX = node.maxX - node.minX >= node.maxY - node.minY;
  const uint32_t middle = begin + (end - begin) / 2;
  std::nth_element(
      points_.begin() + begin, points_.begin() + middle, points_.begin() + end,
      [alongX](const TreePoint& a, const TreePoint& b) { return alongX ? a.x < b.x : a.y < b.y; });
  const uint32_t left = build(begin, middle, depth + 1);
  const uint32_t right = build(middle, end, depth + 1);
  nodes_[index].left = left;
  nodes_[index].right = right;
  return index;
}

double PointTree::boxDistance(const Node& node, double x, double y) const {
  const double dx = std::max({node.minX - x, 0.0, x - node.maxX});
  const double dy = std::max({node.minY - y, 0.0, y - node.maxY});
  return dx * dx + dy * dy;
}

bool PointTree::nearest(double x, double y, TreePoint& found) const {
  nearestPoints(x, y, 1, UINT32_MAX, one_);
  if (one_.empty()) {
    return false;
  }
  found = one_.front();
  return true;
}

void PointTree::nearestPoints(double x, double y, size_t k, uint32_t skipItem,
                              std::vector<TreePoint>& found) const {
  found.clear();
  // The k best so far, the farthest last once full; equal distances are ranked by item, then by which
  // point, so that every answer is the same whatever the tree's shape.
  std::vector<Candidate>& best = best_;
  best.clear();
  const auto worst = [&] {
    return best.size() < k ? std::numeric_limits<double>::infinity() : best.back().distance;
  };
  std::vector<uint32_t>& stack = stack_;
  stack.clear();
  if (!nodes_.empty() && k > 0) {
    stack.push_back(0);
  }
  while (!stack.empty()) {
    const Node& node = nodes_[stack.back()];
    stack.pop_back();
    if (node.alive == 0 || boxDistance(node, x, y) > worst()) {
      continue;
    }
    if (node.left == kLeaf) {
      for (uint32_t i = node.begin; i < node.end; ++i) {
        const TreePoint& p = points_[i];
        const Candidate candidate{(p.x - x) * (p.x - x) + (p.y - y) * (p.y - y), p.item, p.which, i};
        if (removed_[i] || p.item == skipItem || (best.size() == k && !(candidate < best.back()))) {
          continue;
        }
        best.insert(std::upper_bound(best.begin(), best.end(), candidate), candidate);
        if (best.size() > k) {
          best.pop_back();
        }
      }
      continue;
    }
    // The nearer child is searched first: pushed last.
    const bool leftFirst = boxDistance(nodes_[node.left], x, y) <= boxDistance(nodes_[node.right], x, y);
    stack.push_back(leftFirst ? node.right : node.left);
    stack.push_back(leftFirst ? node.left : node.right);
  }
  for (const Candidate& candidate : best) {
    found.push_back(points_[candidate.index]);
  }
}

void PointTree::remove(uint32_t item) {
  for (uint32_t slot = itemFirst_[item]; slot < itemFirst_[item + 1]; ++slot) {
    const uint32_t i = itemPoints_[slot];
    if (removed_[i]) {
      continue;
    }
    removed_[i] = 1;
    for (uint32_t n = 0;;) {
      Node& node = nodes_[n];
      --node.alive;
      if (node.left == kLeaf) {
        break;
      }
      n = i < nodes_[node.left].end ? node.left : node.right;
    }
  }
}
