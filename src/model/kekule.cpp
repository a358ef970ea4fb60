#include "model/kekule.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <set>

namespace vuduzez {

namespace {

size_t At(int32_t v) { return static_cast<size_t>(v); }

// Maximum matching on a general graph (Edmonds' blossoms), one augmenting
// search at a time. The graphs are small (at most a few hundred atoms) and a
// greedy start leaves little to augment.
class Matcher {
 public:
  // The graph: the neighbours of vertex v are adj[start[v]] .. adj[start[v + 1] - 1].
  std::vector<int32_t> start, adj;
  std::vector<int32_t> match;  // partner of each vertex, -1 when unmatched

  void Begin(int32_t n) {
    n_ = n;
    match.assign(At(n), -1);
  }

  // Each vertex that needs a partner takes its first free neighbour.
  void Greedy(const std::vector<uint8_t>& need) {
    for (int32_t v = 0; v < n_; ++v) {
      if (need[At(v)] != 1 || match[At(v)] >= 0) continue;
      for (int32_t k = start[At(v)]; k < start[At(v) + 1]; ++k) {
        const int32_t u = adj[At(k)];
        if (match[At(u)] < 0) {
          match[At(v)] = u;
          match[At(u)] = v;
          break;
        }
      }
    }
  }

  // Finds an augmenting path from root and flips it; false when there is none.
  bool Augment(int32_t root) {
    const size_t n = At(n_);
    used_.assign(n, 0);
    parent_.assign(n, -1);
    base_.resize(n);
    std::iota(base_.begin(), base_.end(), 0);
    queue_.clear();
    used_[At(root)] = 1;
    queue_.push_back(root);
    for (size_t head = 0; head < queue_.size(); ++head) {
      const int32_t v = queue_[head];
      for (int32_t k = start[At(v)]; k < start[At(v) + 1]; ++k) {
        const int32_t to = adj[At(k)];
        if (base_[At(v)] == base_[At(to)] || match[At(v)] == to) continue;
        if (to == root || (match[At(to)] >= 0 && parent_[At(match[At(to)])] >= 0)) {
          const int32_t cur = Lca(v, to);
          blossom_.assign(n, 0);
          MarkPath(v, cur, to);
          MarkPath(to, cur, v);
          for (size_t i = 0; i < n; ++i) {
            if (!blossom_[At(base_[i])]) continue;
            base_[i] = cur;
            if (!used_[i]) {
              used_[i] = 1;
              queue_.push_back(static_cast<int32_t>(i));
            }
          }
        } else if (parent_[At(to)] < 0) {
          parent_[At(to)] = v;
          if (match[At(to)] < 0) {
            for (int32_t x = to; x >= 0;) {
              const int32_t pv = parent_[At(x)];
              const int32_t next = match[At(pv)];
              match[At(x)] = pv;
              match[At(pv)] = x;
              x = next;
            }
            return true;
          }
          used_[At(match[At(to)])] = 1;
          queue_.push_back(match[At(to)]);
        }
      }
    }
    return false;
  }

 private:
  int32_t Lca(int32_t a, int32_t b) {
    seen_.assign(At(n_), 0);
    for (;;) {
      a = base_[At(a)];
      seen_[At(a)] = 1;
      if (match[At(a)] < 0) break;
      a = parent_[At(match[At(a)])];
    }
    for (;;) {
      b = base_[At(b)];
      if (seen_[At(b)]) return b;
      b = parent_[At(match[At(b)])];
    }
  }

  void MarkPath(int32_t v, int32_t b, int32_t child) {
    while (base_[At(v)] != b) {
      blossom_[At(base_[At(v)])] = 1;
      blossom_[At(base_[At(match[At(v)])])] = 1;
      parent_[At(v)] = child;
      child = match[At(v)];
      v = parent_[At(match[At(v)])];
    }
  }

  int32_t n_ = 0;
  std::vector<int32_t> parent_, base_, queue_;
  std::vector<uint8_t> used_, blossom_, seen_;
};

// Nodes the search for a better form may visit in all (a bound on the work
// for large fused systems, whose forms can number in the millions).
constexpr int64_t kSearchBudget = 200000;

class Chooser {
 public:
  Chooser(const KekuleGraph& g, const std::vector<uint8_t>& role) : g_(g), role_(role) {}

  // The first perfect matching (Edmonds); false and the atom when there is none.
  bool Match(int32_t& failed) {
    const size_t n = At(g_.atoms);
    Matcher& m = matcher_;
    m.start.assign(n + 1, 0);
    ForFree([&](size_t, int32_t a, int32_t b) {
      m.start[At(a) + 1] += 1;
      m.start[At(b) + 1] += 1;
    });
    for (size_t i = 0; i < n; ++i) m.start[i + 1] += m.start[i];
    m.adj.assign(At(m.start[n]), 0);
    std::vector<int32_t> fill(m.start.begin(), m.start.end() - 1);
    ForFree([&](size_t, int32_t a, int32_t b) {
      m.adj[At(fill[At(a)]++)] = b;
      m.adj[At(fill[At(b)]++)] = a;
    });
    m.Begin(g_.atoms);
    m.Greedy(role_);
    for (int32_t i = 0; i < g_.atoms; ++i) {
      if (role_[At(i)] == 1 && m.match[At(i)] < 0 && !m.Augment(i)) {
        failed = i;
        return false;
      }
    }
    mate_ = m.match;
    return true;
  }

  // Looks for forms in which more six-membered rings alternate.
  void Improve() {
    FindSixRings();
    if (rings_.empty()) return;
    Group();
    budget_ = kSearchBudget;
    for (size_t gi = 0; gi < groups_.size(); ++gi) Search(static_cast<int32_t>(gi));
  }

  std::vector<int32_t> Orders() const {
    std::vector<int32_t> order(g_.bonds.size());
    for (size_t j = 0; j < g_.bonds.size(); ++j) {
      const KekuleGraph::Bond& b = g_.bonds[j];
      order[j] = b.order != 0 ? b.order : (mate_[At(b.a)] == b.b ? 2 : 1);
    }
    return order;
  }

 private:
  // A bond that may become double: to be chosen, between two atoms that may take one.
  bool Free(const KekuleGraph::Bond& b) const {
    return b.order == 0 && b.a != b.b && role_[At(b.a)] != 0 && role_[At(b.b)] != 0;
  }

  template <typename Visit>
  void ForFree(Visit&& visit) const {
    for (size_t j = 0; j < g_.bonds.size(); ++j) {
      if (Free(g_.bonds[j])) visit(j, g_.bonds[j].a, g_.bonds[j].b);
    }
  }

  // Every six-membered ring with a free bond, as its six bonds.
  void FindSixRings() {
    const size_t n = At(g_.atoms);
    adjacency_.assign(n, {});
    for (size_t j = 0; j < g_.bonds.size(); ++j) {
      const KekuleGraph::Bond& b = g_.bonds[j];
      if (b.a == b.b) continue;
      adjacency_[At(b.a)].push_back({static_cast<int32_t>(j), b.b});
      adjacency_[At(b.b)].push_back({static_cast<int32_t>(j), b.a});
    }
    std::set<std::array<int32_t, 6>> seen;
    std::vector<int32_t> path;  // bonds
    std::vector<uint8_t> on(n, 0);
    // Paths of five bonds from b back to a, closing over the free bond j.
    auto walk = [&](auto&& self, int32_t atom, int32_t target, int depth) -> void {
      if (depth == 5) return;
      for (const auto& [bond, next] : adjacency_[At(atom)]) {
        if (next == target && depth == 4) {
          path.push_back(bond);
          std::array<int32_t, 6> ring;
          std::copy(path.begin(), path.end(), ring.begin());
          std::sort(ring.begin(), ring.end());
          if (std::adjacent_find(ring.begin(), ring.end()) == ring.end()) seen.insert(ring);
          path.pop_back();
          continue;
        }
        if (on[At(next)] || next == target) continue;
        on[At(next)] = 1;
        path.push_back(bond);
        self(self, next, target, depth + 1);
        path.pop_back();
        on[At(next)] = 0;
      }
    };
    ForFree([&](size_t j, int32_t a, int32_t b) {
      if (seen.size() > 5000) return;  // no more rings than any structure of the tables has
      on[At(a)] = on[At(b)] = 1;
      path.assign(1, static_cast<int32_t>(j));
      walk(walk, b, a, 0);
      on[At(a)] = on[At(b)] = 0;
    });
    rings_.assign(seen.begin(), seen.end());
  }

  // Atoms whose choices bear on the same rings go into one group: joined by
  // free bonds, or lying in one ring.
  void Group() {
    const size_t n = At(g_.atoms);
    std::vector<int32_t> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&](int32_t v) {
      while (parent[At(v)] != v) v = parent[At(v)] = parent[At(parent[At(v)])];
      return v;
    };
    auto join = [&](int32_t a, int32_t b) { parent[At(find(a))] = find(b); };
    ForFree([&](size_t, int32_t a, int32_t b) { join(a, b); });
    for (const auto& ring : rings_) {
      int32_t first = -1;
      for (int32_t j : ring) {
        const KekuleGraph::Bond& b = g_.bonds[At(j)];
        if (!Free(b)) continue;
        if (first < 0) first = b.a;
        join(first, b.a);
      }
    }
    std::vector<int32_t> index(n, -1);
    groups_.clear();
    ringGroup_.assign(rings_.size(), -1);
    for (size_t r = 0; r < rings_.size(); ++r) {
      for (int32_t j : rings_[r]) {
        const KekuleGraph::Bond& b = g_.bonds[At(j)];
        if (!Free(b)) continue;
        const int32_t root = find(b.a);
        if (index[At(root)] < 0) {
          index[At(root)] = static_cast<int32_t>(groups_.size());
          groups_.emplace_back();
        }
        ringGroup_[r] = index[At(root)];
        break;
      }
    }
    // The atoms of each group that has rings, in ascending order.
    for (int32_t v = 0; v < g_.atoms; ++v) {
      if (role_[At(v)] == 0) continue;
      const int32_t gi = index[At(find(v))];
      if (gi >= 0) groups_[At(gi)].push_back(v);
    }
  }

  // Rings of one group: how many double bonds each has so far, and how many
  // of its free bonds are still open.
  struct RingState {
    int32_t doubles = 0;
    int32_t open = 0;
  };

  int32_t Alternating(const std::vector<int32_t>& mate) const {
    int32_t n = 0;
    for (int32_t r : groupRings_) {
      int32_t doubles = 0;
      for (int32_t j : rings_[At(r)]) {
        const KekuleGraph::Bond& b = g_.bonds[At(j)];
        doubles += b.order == 0 ? (mate[At(b.a)] == b.b) : (b.order == 2);
      }
      n += doubles == 3;
    }
    return n;
  }

  void Search(int32_t gi) {
    const std::vector<int32_t>& group = groups_[At(gi)];
    group_ = &group;
    groupRings_.clear();
    for (size_t r = 0; r < rings_.size(); ++r) {
      if (ringGroup_[r] == gi) groupRings_.push_back(static_cast<int32_t>(r));
    }
    best_ = Alternating(mate_);
    if (best_ == static_cast<int32_t>(groupRings_.size())) return;  // cannot do better
    // The bonds' rings, and the state of each ring with nothing chosen yet.
    bondRings_.assign(g_.bonds.size(), {});
    rings0_.assign(groupRings_.size(), {});
    for (size_t k = 0; k < groupRings_.size(); ++k) {
      for (int32_t j : rings_[At(groupRings_[k])]) {
        const KekuleGraph::Bond& b = g_.bonds[At(j)];
        if (Free(b)) {
          bondRings_[At(j)].push_back(static_cast<int32_t>(k));
          rings0_[k].open += 1;
        } else {
          rings0_[k].doubles += b.order == 2;
        }
      }
    }
    ring_ = rings0_;
    decided_.assign(g_.bonds.size(), 0);
    trial_ = mate_;
    for (int32_t v : group) trial_[At(v)] = -1;
    need_.clear();
    for (int32_t v : group) {
      if (role_[At(v)] == 1) need_.push_back(v);
    }
    possible_ = 0;
    for (const RingState& s : ring_) possible_ += Possible(s);
    Descend(0);
  }

  static bool Possible(const RingState& s) { return s.doubles <= 3 && s.doubles + s.open >= 3; }

  // Decides every open free bond at atom v: the one to partner double, the rest single.
  void Decide(int32_t v, int32_t partner, std::vector<int32_t>& undo) {
    for (const auto& [bond, next] : adjacency_[At(v)]) {
      if (decided_[At(bond)] || !Free(g_.bonds[At(bond)])) continue;
      decided_[At(bond)] = 1;
      undo.push_back(bond);
      const bool dbl = next == partner;
      for (int32_t k : bondRings_[At(bond)]) {
        RingState& s = ring_[At(k)];
        possible_ -= Possible(s);
        s.open -= 1;
        s.doubles += dbl;
        possible_ += Possible(s);
      }
    }
  }

  void Undo(const std::vector<int32_t>& undo) {
    for (int32_t bond : undo) {
      decided_[At(bond)] = 0;
      const KekuleGraph::Bond& b = g_.bonds[At(bond)];
      const bool dbl = trial_[At(b.a)] == b.b;
      for (int32_t k : bondRings_[At(bond)]) {
        RingState& s = ring_[At(k)];
        possible_ -= Possible(s);
        s.open += 1;
        s.doubles -= dbl;
        possible_ += Possible(s);
      }
    }
  }

  void Descend(size_t next) {
    if (--budget_ < 0) return;
    while (next < need_.size() && trial_[At(need_[next])] >= 0) ++next;
    if (next == need_.size()) {
      // Open bonds left (between atoms that may stay without) are single.
      int32_t score = 0;
      for (const RingState& s : ring_) score += s.doubles == 3;
      if (score > best_) {
        best_ = score;
        for (int32_t v : *group_) mate_[At(v)] = trial_[At(v)];
      }
      return;
    }
    if (possible_ <= best_) return;
    const int32_t v = need_[next];
    for (const auto& [bond, u] : adjacency_[At(v)]) {
      if (decided_[At(bond)] || !Free(g_.bonds[At(bond)]) || trial_[At(u)] >= 0) continue;
      trial_[At(v)] = u;
      trial_[At(u)] = v;
      std::vector<int32_t> undo;
      Decide(v, u, undo);
      Decide(u, v, undo);
      Descend(next + 1);
      Undo(undo);
      trial_[At(v)] = trial_[At(u)] = -1;
      if (budget_ < 0 || possible_ <= best_) return;
    }
  }

  const KekuleGraph& g_;
  const std::vector<uint8_t>& role_;
  Matcher matcher_;
  std::vector<int32_t> mate_;
  struct Adjacent {
    int32_t bond;
    int32_t neighbour;
  };
  std::vector<std::vector<Adjacent>> adjacency_;
  std::vector<std::array<int32_t, 6>> rings_;
  std::vector<std::vector<int32_t>> groups_;
  std::vector<int32_t> ringGroup_;
  std::vector<int32_t> groupRings_;
  std::vector<std::vector<int32_t>> bondRings_;
  std::vector<RingState> rings0_, ring_;
  std::vector<uint8_t> decided_;
  std::vector<int32_t> trial_;
  std::vector<int32_t> need_;
  const std::vector<int32_t>* group_ = nullptr;
  int32_t possible_ = 0;
  int32_t best_ = 0;
  int64_t budget_ = 0;
};

}  // namespace

KekuleForm ChooseKekuleForm(const KekuleGraph& graph) {
  KekuleForm form;
  std::vector<uint8_t> role(graph.role.begin(), graph.role.end());
  role.resize(At(graph.atoms), 0);
  // Atoms that may take a double bond are only given one when the form cannot
  // be made without them.
  std::vector<uint8_t> strict = role;
  for (uint8_t& r : strict) r = r == 2 ? 0 : r;
  int32_t failed = -1;
  Chooser first(graph, strict);
  if (first.Match(failed)) {
    first.Improve();
    form.order = first.Orders();
    return form;
  }
  if (strict != role) {
    Chooser second(graph, role);
    int32_t again = -1;
    if (second.Match(again)) {
      second.Improve();
      form.order = second.Orders();
      return form;
    }
  }
  form.ok = false;
  form.atom = failed;
  return form;
}

}  // namespace vuduzez
