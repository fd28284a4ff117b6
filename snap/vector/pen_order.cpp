// Pen order: the greedy nearest end over a k-d tree of the strokes' ends, 2-opt moves between near ends,
// joins.
#include "pen_order.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "point_tree.h"

namespace {

// The 2-opt moves tried from each end: towards its few nearest ends.
constexpr size_t kNeighbours = 6;
// Units of work (a move weighed, a stroke turned) the 2-opt moves may take, per stroke and in all.
constexpr size_t kWorkPerStroke = 200;
constexpr size_t kLeastWork = 20000;

struct Point {
  double x, y;
};

double distance(Point a, Point b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

// What the order needs of a stroke: where it may be entered, as the tree files them (an open stroke by its
// two ends, a closed one by any of its points), and its ends once entered.
struct Piece {
  std::vector<Point> points;  // as given: first and last for an open stroke, every point for a closed one
  bool closed = false;
};

// The order of pieces and how each is drawn: an open piece turned round, a closed one started at a point.
struct Order {
  std::vector<uint32_t> pieces;
  std::vector<uint32_t> entry;  // per piece: 1 for an open piece turned round; a closed piece's first point
  std::vector<uint8_t> turned;  // per piece, of an open one: drawn from its last point

  Point first(const std::vector<Piece>& all, uint32_t p) const {
    const Piece& piece = all[p];
    return piece.closed ? piece.points[entry[p]] : turned[p] ? piece.points.back() : piece.points.front();
  }
  Point last(const std::vector<Piece>& all, uint32_t p) const {
    const Piece& piece = all[p];
    return piece.closed ? piece.points[entry[p]] : turned[p] ? piece.points.front() : piece.points.back();
  }
};

double travelOf(const std::vector<Piece>& pieces, const Order& order) {
  double travel = 0.0;
  Point pen{0.0, 0.0};
  for (const uint32_t p : order.pieces) {
    travel += distance(pen, order.first(pieces, p));
    pen = order.last(pieces, p);
  }
  return travel;
}

Order givenOrder(const std::vector<Piece>& pieces) {
  Order order{std::vector<uint32_t>(pieces.size()), std::vector<uint32_t>(pieces.size(), 0),
              std::vector<uint8_t>(pieces.size(), 0)};
  std::iota(order.pieces.begin(), order.pieces.end(), 0u);
  return order;
}

Order greedyOrder(const std::vector<Piece>& pieces) {
  std::vector<TreePoint> entries;
  for (uint32_t p = 0; p < pieces.size(); ++p) {
    for (uint32_t i = 0; i < pieces[p].points.size(); ++i) {
      entries.push_back({pieces[p].points[i].x, pieces[p].points[i].y, p, i});
    }
  }
  PointTree tree(std::move(entries), static_cast<uint32_t>(pieces.size()));
  Order order = givenOrder(pieces);
  Point pen{0.0, 0.0};
  for (uint32_t& next : order.pieces) {
    TreePoint found{};
    tree.nearest(pen.x, pen.y, found);
    next = found.item;
    tree.remove(next);
    order.entry[next] = found.which;
    order.turned[next] = !pieces[next].closed && found.which == 1;
    pen = order.last(pieces, next);
  }
  return order;
}

// 2-opt over the order: drawing the pieces at positions i to j in reverse order, each turned round, replaces
// the hops into i and out of j by a hop from the piece before i to j's far end and one from i's far end to
// the piece after j. Only moves that join an end to one of its nearest ends are weighed.
class TwoOpt {
 public:
  TwoOpt(const std::vector<Piece>& pieces, Order& order)
      : pieces_(pieces), order_(order), at_(pieces.size()) {
    for (uint32_t i = 0; i < order.pieces.size(); ++i) {
      at_[order.pieces[i]] = i;
    }
    findNeighbours();
  }

  void improve() {
    const size_t n = order_.pieces.size();
    size_t work = 0;
    const size_t budget = kLeastWork + kWorkPerStroke * n;
    for (bool improved = n > 1; improved && work < budget;) {
      improved = false;
      for (uint32_t h = 1; h < n && work < budget; ++h) {
        improved = tryFromLast(h, work) || tryFromFirst(h, work) || improved;
      }
    }
  }

 private:
  // Tried from the last point of the piece before hop h: towards a piece j >= h whose last point is near.
  bool tryFromLast(uint32_t h, size_t& work) {
    const uint32_t before = order_.pieces[h - 1];
    for (const TreePoint& near : neighboursOf(before, true)) {
      const uint32_t j = at_[near.item];
      ++work;
      if (j >= h && isLast(near) && gain(h, j) > kLeastGain) {
        reverse(h, j, work);
        return true;
      }
    }
    return false;
  }

  // Tried from the first point of the piece after hop h: towards a piece i < h whose first point is near.
  bool tryFromFirst(uint32_t h, size_t& work) {
    const uint32_t after = order_.pieces[h];
    for (const TreePoint& near : neighboursOf(after, false)) {
      const uint32_t i = at_[near.item];
      ++work;
      if (i < h && isFirst(near) && gain(i, h - 1) > kLeastGain) {
        reverse(i, h - 1, work);
        return true;
      }
    }
    return false;
  }

  // How much shorter the travel gets by reversing positions i to j.
  double gain(uint32_t i, uint32_t j) const {
    const Point before = i == 0 ? Point{0.0, 0.0} : order_.last(pieces_, order_.pieces[i - 1]);
    const Point in = order_.first(pieces_, order_.pieces[i]), out = order_.last(pieces_, order_.pieces[j]);
    double change = distance(before, in) - distance(before, out);
    if (j + 1 < order_.pieces.size()) {
      const Point after = order_.first(pieces_, order_.pieces[j + 1]);
      change += distance(out, after) - distance(in, after);
    }
    return change;
  }

  void reverse(uint32_t i, uint32_t j, size_t& work) {
    std::reverse(order_.pieces.begin() + i, order_.pieces.begin() + j + 1);
    for (uint32_t k = i; k <= j; ++k) {
      const uint32_t p = order_.pieces[k];
      at_[p] = k;
      order_.turned[p] ^= pieces_[p].closed ? 0 : 1;
    }
    work += j - i + 1;
  }

  // Where a neighbour is an end of its piece, as the piece is drawn now.
  bool isLast(const TreePoint& end) const {
    return pieces_[end.item].closed || (end.which == 1) != (order_.turned[end.item] != 0);
  }
  bool isFirst(const TreePoint& end) const {
    return pieces_[end.item].closed || (end.which == 0) != (order_.turned[end.item] != 0);
  }

  // The ends near piece p's last point as it is drawn now (its first with atLast false).
  const std::vector<TreePoint>& neighboursOf(uint32_t p, bool atLast) const {
    const bool originalLast = !pieces_[p].closed && atLast != (order_.turned[p] != 0);
    return neighbours_[2 * p + (originalLast ? 1 : 0)];
  }

  // Each piece's ends as the moves see them: an open piece's two, a closed piece's first point.
  void findNeighbours() {
    std::vector<TreePoint> ends;
    for (uint32_t p = 0; p < pieces_.size(); ++p) {
      const uint32_t closed = order_.entry[p];
      const Point a = pieces_[p].closed ? pieces_[p].points[closed] : pieces_[p].points.front();
      ends.push_back({a.x, a.y, p, 0});
      if (!pieces_[p].closed) {
        ends.push_back({pieces_[p].points.back().x, pieces_[p].points.back().y, p, 1});
      }
    }
    const std::vector<TreePoint> all = ends;
    PointTree tree(std::move(ends), static_cast<uint32_t>(pieces_.size()));
    neighbours_.resize(2 * pieces_.size());
    for (const TreePoint& end : all) {
      tree.nearestPoints(end.x, end.y, kNeighbours, end.item, neighbours_[2 * end.item + end.which]);
    }
  }

  // Moves shorter than this are rounding.
  static constexpr double kLeastGain = 1e-9;
  const std::vector<Piece>& pieces_;
  Order& order_;
  std::vector<uint32_t> at_;  // per piece, its position in the order
  std::vector<std::vector<TreePoint>> neighbours_;
};

// The greedy order or the given one, whichever travels less, improved by 2-opt.
Order penOrder(const std::vector<Piece>& pieces) {
  Order greedy = greedyOrder(pieces);
  Order given = givenOrder(pieces);
  Order order = travelOf(pieces, given) < travelOf(pieces, greedy) ? std::move(given) : std::move(greedy);
  TwoOpt(pieces, order).improve();
  return order;
}

}  // namespace

void orderForPen(std::vector<Polyline>& lines) {
  std::erase_if(lines, [](const Polyline& line) { return line.points.empty(); });
  std::vector<Piece> pieces;
  for (const Polyline& line : lines) {
    Piece piece{{}, line.closed};
    const auto add = [&piece](const LinePoint& p) { piece.points.push_back({p.x, p.y}); };
    if (line.closed) {
      std::for_each(line.points.begin(), line.points.end(), add);
    } else {
      add(line.points.front());
      add(line.points.back());
    }
    pieces.push_back(std::move(piece));
  }
  const Order order = penOrder(pieces);
  std::vector<Polyline> ordered;
  for (const uint32_t p : order.pieces) {
    Polyline& line = lines[p];
    if (line.closed) {
      std::rotate(line.points.begin(), line.points.begin() + order.entry[p], line.points.end());
    } else if (order.turned[p]) {
      std::reverse(line.points.begin(), line.points.end());
    }
    Polyline* last = ordered.empty() ? nullptr : &ordered.back();
    if (last && !last->closed && !line.closed && last->kind == line.kind && last->hidden == line.hidden &&
        last->points.back().x == line.points.front().x && last->points.back().y == line.points.front().y) {
      last->points.insert(last->points.end(), line.points.begin() + 1, line.points.end());
    } else {
      ordered.push_back(std::move(line));
    }
  }
  lines = std::move(ordered);
}

void orderForPen(std::vector<Stroke>& strokes) {
  std::vector<Piece> pieces;
  for (const Stroke& stroke : strokes) {
    pieces.push_back({{{stroke.from.x, stroke.from.y}, {stroke.to.x, stroke.to.y}}, false});
  }
  const Order order = penOrder(pieces);
  std::vector<Stroke> ordered;
  for (const uint32_t p : order.pieces) {
    const Stroke& stroke = strokes[p];
    ordered.push_back(order.turned[p] ? Stroke{stroke.to, stroke.from} : stroke);
  }
  strokes = std::move(ordered);
}

double penTravel(const std::vector<Polyline>& lines) {
  double travel = 0.0;
  Point pen{0.0, 0.0};
  for (const Polyline& line : lines) {
    travel += distance(pen, {line.points.front().x, line.points.front().y});
    const LinePoint& last = line.closed ? line.points.front() : line.points.back();
    pen = {last.x, last.y};
  }
  return travel;
}
