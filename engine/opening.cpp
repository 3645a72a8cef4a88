#include "engine/opening.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "platform/imagelib/stored_rows.h"

namespace lumivane {

namespace {

// Coverage below one half has its high bit clear: eight pixels are tested at once.
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// The first column from `x` whose pixel is transparent (`transparent`) or opaque, or `width`.
int NextColumn(const BYTE* row, int x, int width, bool transparent) {
    for (; x + 8 <= width; x += 8) {
        std::uint64_t v;
        std::memcpy(&v, row + x, 8);
        const std::uint64_t hit = (transparent ? ~v : v) & kHighBits;
        if (hit) return x + __builtin_ctzll(hit) / 8;
    }
    for (; x < width; ++x) {
        if (((row[x] & 0x80) == 0) == transparent) return x;
    }
    return width;
}

struct Run {
    int first, last;  // columns, inclusive
    int label;
};

struct Region {
    int parent;
    int left, top, right, bottom;
    std::int64_t area;
    bool touchesEdge;
};

class Regions {
  public:
    int Add(int first, int last, int y, bool edge) {
        const int label = int(regions_.size());
        regions_.push_back({label, first, y, last, y, std::int64_t(last) - first + 1, edge});
        return label;
    }
    int Root(int label) {
        while (regions_[label].parent != label) {
            regions_[label].parent = regions_[regions_[label].parent].parent;
            label = regions_[label].parent;
        }
        return label;
    }
    // Joins b's region into a's; returns the root that holds both.
    int Join(int a, int b) {
        a = Root(a);
        b = Root(b);
        if (a == b) return a;
        if (b < a) std::swap(a, b);
        Region& into = regions_[a];
        const Region& from = regions_[b];
        into.left = std::min(into.left, from.left);
        into.top = std::min(into.top, from.top);
        into.right = std::max(into.right, from.right);
        into.bottom = std::max(into.bottom, from.bottom);
        into.area += from.area;
        into.touchesEdge = into.touchesEdge || from.touchesEdge;
        regions_[b].parent = a;
        return a;
    }
    // Adds a run to an existing region.
    void Grow(int label, int first, int last, int y, bool edge) {
        Region& r = regions_[Root(label)];
        r.left = std::min(r.left, first);
        r.right = std::max(r.right, last);
        r.bottom = std::max(r.bottom, y);
        r.area += std::int64_t(last) - first + 1;
        r.touchesEdge = r.touchesEdge || edge;
    }
    const std::vector<Region>& All() const { return regions_; }

  private:
    std::vector<Region> regions_;
};

}  // namespace

std::optional<OpeningBox> FindOpening(const dib& coverage) {
    if (!coverage.poi || !coverage.pmi || coverage.pmi->bmiHeader.biBitCount != 8) return {};
    const int width = coverage.pmi->bmiHeader.biWidth;
    const int height = coverage.pmi->bmiHeader.biHeight;
    if (width < 1 || height < 1) return {};
    try {
        // Runs of transparent pixels, row by row; a run meeting one of the row above joins its
        // region. Only two rows of runs are held, so memory follows the regions, not the size.
        Regions regions;
        std::vector<Run> above, current;
        for (int y = 0; y < height; ++y) {
            const BYTE* row = StoredRow(coverage, height - 1 - y);
            const bool edgeRow = y == 0 || y == height - 1;
            current.clear();
            std::size_t a = 0;
            for (int x = NextColumn(row, 0, width, true); x < width;
                 x = NextColumn(row, x, width, true)) {
                const int end = NextColumn(row, x, width, false);
                const int first = x, last = end - 1;
                const bool edge = edgeRow || first == 0 || end == width;
                int label = -1;
                while (a < above.size() && above[a].last < first) ++a;
                for (std::size_t b = a; b < above.size() && above[b].first <= last; ++b)
                    label = label < 0 ? regions.Root(above[b].label)
                                      : regions.Join(label, above[b].label);
                if (label < 0)
                    label = regions.Add(first, last, y, edge);
                else
                    regions.Grow(label, first, last, y, edge);
                current.push_back({first, last, label});
                x = end;
            }
            std::swap(above, current);
        }

        const Region* best = nullptr;
        for (const Region& r : regions.All()) {
            if (&r - regions.All().data() != r.parent || r.touchesEdge) continue;
            if (!best || r.area > best->area) best = &r;
        }
        if (!best) return {};
        return OpeningBox{best->left, best->top, best->right - best->left + 1,
                          best->bottom - best->top + 1};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace lumivane
