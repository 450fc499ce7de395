// Column keys for a whole job.
//
// 1. Alignment groups: runs whose left edges, right edges or centres agree
//    (within a small tolerance) form a group; each run joins the best
//    supported of its three groups, so a column of amounts keeps together
//    by its right edge and a column of names by its left edge.
// 2. Merges: a group that overlaps another on the page, never shares a line
//    with it and is not ordered against it by any line (headings over
//    amounts, a total under its column) joins it; the closest overlaps go first.
// 3. Keys: groups in the order the lines put them, each keyed by its left
//    edge in device units and raised where needed, so that keys grow from
//    left to right on every line; a last pass per line guarantees it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <queue>

#include "driver/layout/TextLayout.h"

namespace sw::driver {

namespace {

constexpr double kAlignTolerance = 1.5;        // points
constexpr std::size_t kMaxMergeGroups = 1500;  // reachability is quadratic in groups
constexpr std::size_t kMaxCandidates = 200000;
constexpr double kMinOverlap = 0.3;

class UnionFind {
public:
    explicit UnionFind(std::size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
    std::size_t Find(std::size_t x) {
        while (parent_[x] != x) {
            parent_[x] = parent_[parent_[x]];
            x = parent_[x];
        }
        return x;
    }
    void Join(std::size_t keep, std::size_t gone) { parent_[Find(gone)] = Find(keep); }

private:
    std::vector<std::size_t> parent_;
};

// Groups runs whose anchor values chain within the tolerance; returns the
// group of each run and the size of each group.
void GroupByAnchor(const std::vector<float>& anchor, std::vector<std::uint32_t>& groupOf,
                   std::vector<std::uint32_t>& support) {
    std::vector<std::uint32_t> order(anchor.size());
    std::iota(order.begin(), order.end(), 0U);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return anchor[a] < anchor[b]; });
    groupOf.assign(anchor.size(), 0);
    support.clear();
    double previous = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const double value = anchor[order[i]];
        if (i == 0 || value - previous > kAlignTolerance) {
            support.push_back(0);
        }
        groupOf[order[i]] = static_cast<std::uint32_t>(support.size() - 1);
        ++support.back();
        previous = value;
    }
}

bool Disjoint(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    const auto& small = a.size() < b.size() ? a : b;
    const auto& large = a.size() < b.size() ? b : a;
    return std::none_of(small.begin(), small.end(), [&](std::uint32_t line) {
        return std::binary_search(large.begin(), large.end(), line);
    });
}

struct Cluster {
    double coreLeft = std::numeric_limits<double>::max();
    double coreRight = std::numeric_limits<double>::lowest();
    double minLeft = std::numeric_limits<double>::max();
    std::size_t support = 0;
    std::vector<std::uint32_t> lines;  // sorted, distinct
};

// Reachability between clusters along the left-to-right order of lines.
class Order {
public:
    // False when the order has a cycle (then nothing may be merged).
    bool Build(std::size_t n, const std::vector<std::pair<std::size_t, std::size_t>>& edges) {
        n_ = n;
        words_ = (n + 63) / 64;
        bits_.assign(n * words_, 0);
        std::vector<std::vector<std::size_t>> next(n);
        std::vector<std::size_t> indegree(n, 0);
        for (const auto& [from, to] : edges) {
            next[from].push_back(to);
            ++indegree[to];
        }
        std::vector<std::size_t> topo;
        topo.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            if (indegree[i] == 0) {
                topo.push_back(i);
            }
        }
        for (std::size_t i = 0; i < topo.size(); ++i) {
            for (std::size_t to : next[topo[i]]) {
                if (--indegree[to] == 0) {
                    topo.push_back(to);
                }
            }
        }
        if (topo.size() != n) {
            return false;
        }
        for (auto it = topo.rbegin(); it != topo.rend(); ++it) {
            for (std::size_t to : next[*it]) {
                Set(*it, to);
                OrInto(*it, to);
            }
        }
        return true;
    }
    bool Reaches(std::size_t from, std::size_t to) const {
        return ((bits_[from * words_ + to / 64] >> (to % 64)) & 1U) != 0;
    }
    // `keep` now stands for both; every cluster before either is before it.
    void Merge(std::size_t keep, std::size_t gone) {
        OrInto(keep, gone);
        for (std::size_t x = 0; x < n_; ++x) {
            if (x != keep && (Reaches(x, keep) || Reaches(x, gone))) {
                Set(x, keep);
                OrInto(x, keep);
            }
        }
    }

private:
    void Set(std::size_t from, std::size_t to) {
        bits_[from * words_ + to / 64] |= std::uint64_t{1} << (to % 64);
    }
    void OrInto(std::size_t into, std::size_t from) {
        for (std::size_t w = 0; w < words_; ++w) {
            bits_[into * words_ + w] |= bits_[from * words_ + w];
        }
    }
    std::size_t n_ = 0;
    std::size_t words_ = 0;
    std::vector<std::uint64_t> bits_;
};

std::vector<std::pair<std::size_t, std::size_t>> OrderEdges(const std::vector<RunBox>& runs,
                                                            const std::vector<std::size_t>& clusterOf,
                                                            UnionFind* live) {
    std::vector<std::pair<std::size_t, std::size_t>> edges;
    for (std::size_t i = 1; i < runs.size(); ++i) {
        if (runs[i].line != runs[i - 1].line) {
            continue;
        }
        std::size_t a = clusterOf[i - 1];
        std::size_t b = clusterOf[i];
        if (live != nullptr) {
            a = live->Find(a);
            b = live->Find(b);
        }
        if (a != b) {
            edges.emplace_back(a, b);
        }
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    return edges;
}

void MergeOverlapping(std::vector<Cluster>& clusters, const std::vector<RunBox>& runs,
                      const std::vector<std::size_t>& clusterOf, UnionFind& live) {
    const std::size_t n = clusters.size();
    if (n < 2 || n > kMaxMergeGroups) {
        return;
    }
    Order order;
    if (!order.Build(n, OrderEdges(runs, clusterOf, nullptr))) {
        return;
    }
    struct Candidate {
        double score;
        double distance;
        std::size_t a, b;
    };
    std::vector<std::size_t> byLeft(n);
    std::iota(byLeft.begin(), byLeft.end(), 0);
    std::sort(byLeft.begin(), byLeft.end(),
              [&](std::size_t a, std::size_t b) { return clusters[a].coreLeft < clusters[b].coreLeft; });
    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < n && candidates.size() < kMaxCandidates; ++i) {
        const Cluster& a = clusters[byLeft[i]];
        for (std::size_t j = i + 1; j < n && clusters[byLeft[j]].coreLeft < a.coreRight; ++j) {
            const Cluster& b = clusters[byLeft[j]];
            const double overlap = std::min(a.coreRight, b.coreRight) - b.coreLeft;
            const double narrower =
                std::max(1e-3, std::min(a.coreRight - a.coreLeft, b.coreRight - b.coreLeft));
            const double score = std::min(1.0, overlap / narrower);
            if (score >= kMinOverlap) {
                candidates.push_back({score, std::abs(b.coreLeft - a.coreLeft), byLeft[i], byLeft[j]});
            }
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& x, const Candidate& y) {
        return x.score != y.score ? x.score > y.score : x.distance < y.distance;
    });
    for (const Candidate& c : candidates) {
        std::size_t a = live.Find(c.a);
        std::size_t b = live.Find(c.b);
        if (a == b || order.Reaches(a, b) || order.Reaches(b, a) ||
            !Disjoint(clusters[a].lines, clusters[b].lines)) {
            continue;
        }
        if (clusters[b].support > clusters[a].support) {
            std::swap(a, b);
        }
        Cluster& keep = clusters[a];
        Cluster& gone = clusters[b];
        std::vector<std::uint32_t> lines;
        lines.reserve(keep.lines.size() + gone.lines.size());
        std::merge(keep.lines.begin(), keep.lines.end(), gone.lines.begin(), gone.lines.end(),
                   std::back_inserter(lines));
        keep.lines = std::move(lines);
        gone.lines.clear();
        keep.support += gone.support;
        keep.minLeft = std::min(keep.minLeft, gone.minLeft);
        live.Join(a, b);
        order.Merge(a, b);
    }
}

}  // namespace

std::vector<std::int64_t> ColumnKeysOf(const std::vector<RunBox>& runs, double unitsPerPoint) {
    std::vector<std::int64_t> keys(runs.size());
    if (runs.empty()) {
        return keys;
    }

    // 1. Alignment groups.
    // Compact types: a long job has millions of runs.
    std::vector<float> anchors[3];
    for (const RunBox& box : runs) {
        anchors[0].push_back(box.left);
        anchors[1].push_back(box.right);
        anchors[2].push_back((box.left + box.right) / 2);
    }
    std::vector<std::uint32_t> groupOf[3];
    std::vector<std::uint32_t> support[3];
    for (int t = 0; t < 3; ++t) {
        GroupByAnchor(anchors[t], groupOf[t], support[t]);
        std::vector<float>().swap(anchors[t]);
    }
    const std::size_t offsets[3] = {0, support[0].size(), support[0].size() + support[1].size()};
    std::vector<std::uint32_t> chosen(runs.size());
    for (std::size_t r = 0; r < runs.size(); ++r) {
        int best = 0;
        for (int t = 1; t < 3; ++t) {
            if (support[t][groupOf[t][r]] > support[best][groupOf[best][r]]) {
                best = t;
            }
        }
        chosen[r] = static_cast<std::uint32_t>(offsets[best] + groupOf[best][r]);
    }
    // Only the groups some run chose become clusters.
    std::vector<std::uint32_t> ids(chosen);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<std::size_t> clusterOf(runs.size());
    std::vector<Cluster> clusters(ids.size());
    for (std::size_t r = 0; r < runs.size(); ++r) {
        clusterOf[r] =
            static_cast<std::size_t>(std::lower_bound(ids.begin(), ids.end(), chosen[r]) - ids.begin());
        Cluster& c = clusters[clusterOf[r]];
        const RunBox& run = runs[r];
        c.coreLeft = std::min(c.coreLeft, static_cast<double>(run.left));
        c.coreRight = std::max(c.coreRight, static_cast<double>(run.right));
        c.minLeft = std::min(c.minLeft, static_cast<double>(run.left));
        ++c.support;
        if (c.lines.empty() || c.lines.back() != runs[r].line) {
            c.lines.push_back(runs[r].line);
        }
    }

    // 2. Merges.
    UnionFind live(clusters.size());
    MergeOverlapping(clusters, runs, clusterOf, live);

    // 3. Keys in line order, then by left edge.
    std::vector<std::size_t> roots;
    for (std::size_t c = 0; c < clusters.size(); ++c) {
        if (live.Find(c) == c) {
            roots.push_back(c);
        }
    }
    std::vector<std::vector<std::size_t>> next(clusters.size());
    std::vector<std::size_t> indegree(clusters.size(), 0);
    for (const auto& [from, to] : OrderEdges(runs, clusterOf, &live)) {
        next[from].push_back(to);
        ++indegree[to];
    }
    auto later = [&](std::size_t a, std::size_t b) { return clusters[a].minLeft > clusters[b].minLeft; };
    std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> ready(later);
    for (std::size_t c : roots) {
        if (indegree[c] == 0) {
            ready.push(c);
        }
    }
    std::vector<std::size_t> sequence;
    std::vector<bool> placed(clusters.size(), false);
    while (!ready.empty()) {
        const std::size_t c = ready.top();
        ready.pop();
        sequence.push_back(c);
        placed[c] = true;
        for (std::size_t to : next[c]) {
            if (--indegree[to] == 0) {
                ready.push(to);
            }
        }
    }
    // A cycle can only come from runs crowded within the tolerance; those
    // groups follow by their left edge and the per-line pass below settles them.
    std::vector<std::size_t> rest;
    for (std::size_t c : roots) {
        if (!placed[c]) {
            rest.push_back(c);
        }
    }
    std::sort(rest.begin(), rest.end(),
              [&](std::size_t a, std::size_t b) { return clusters[a].minLeft < clusters[b].minLeft; });
    sequence.insert(sequence.end(), rest.begin(), rest.end());

    std::vector<std::int64_t> keyOf(clusters.size(), 0);
    std::int64_t previous = std::numeric_limits<std::int64_t>::min();
    for (std::size_t c : sequence) {
        const double position = std::clamp(clusters[c].minLeft * unitsPerPoint, -1e9, 1e9);
        std::int64_t key = std::llround(position);
        if (previous != std::numeric_limits<std::int64_t>::min() && key <= previous) {
            key = previous + 1;
        }
        keyOf[c] = key;
        previous = key;
    }
    std::int64_t lineKey = 0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::int64_t key = keyOf[live.Find(clusterOf[r])];
        if (r > 0 && runs[r].line == runs[r - 1].line && key <= lineKey) {
            key = lineKey + 1;
        }
        keys[r] = key;
        lineKey = key;
    }
    return keys;
}

void AssignColumnKeys(std::vector<PageLayout>& pages, double unitsPerPoint) {
    std::vector<RunBox> boxes;
    std::uint32_t line = 0;
    for (const auto& page : pages) {
        for (const auto& l : page.lines) {
            for (const auto& run : l.runs) {
                boxes.push_back(BoxOf(run, line));
            }
            ++line;
        }
    }
    const std::vector<std::int64_t> keys = ColumnKeysOf(boxes, unitsPerPoint);
    std::size_t next = 0;
    for (auto& page : pages) {
        for (auto& l : page.lines) {
            for (auto& run : l.runs) {
                run.key = keys[next++];
            }
        }
    }
}

}  // namespace sw::driver
