#include "tools/colour_quantiser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr int KMEANS_ROUNDS = 12;
/// The cut and the means weigh each colour by this power of its count. Full
/// counts let a few common colours take every entry and leave rare ones (dark
/// slopes, marking lines) 40 levels from the nearest; the fourth root keeps an
/// entry near them at almost no cost to the mean (seed 1: mean 1.91 to 1.98,
/// largest 40.9 to 10.3).
constexpr double WEIGHT_POWER = 0.25;
constexpr std::size_t GRID_WORTHWHILE = 1 << 17;

int channel(std::uint32_t rgb, int c) { return int(rgb >> (16 - 8 * c) & 0xFF); }

std::uint32_t squared_distance(std::uint32_t a, std::uint32_t b) {
    std::uint32_t sum = 0;
    for (int c = 0; c < 3; ++c) {
        const int d = channel(a, c) - channel(b, c);
        sum += std::uint32_t(d * d);
    }
    return sum;
}

/// A colour and the weight it has in the cut and the means.
struct weighted_colour {
    std::uint32_t rgb;
    double weight;
};

/// A box of the median cut: entries [begin, end) of the working histogram.
struct colour_box {
    std::size_t begin, end;
    double error;  // weighted squared distance of its colours to their mean
};

/// Weighted mean colour of entries [begin, end), and their squared error about it.
std::uint32_t box_mean(const std::vector<weighted_colour>& colours, std::size_t begin, std::size_t end, double* error) {
    double weight = 0, sum[3] = {0, 0, 0}, squares = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const double w = colours[i].weight;
        weight += w;
        for (int c = 0; c < 3; ++c) {
            const double v = channel(colours[i].rgb, c);
            sum[c] += w * v;
            squares += w * v * v;
        }
    }
    std::uint32_t mean = 0;
    double spread = squares;
    for (int c = 0; c < 3; ++c) {
        spread -= sum[c] * sum[c] / weight;
        mean = mean << 8 | std::uint32_t(std::lround(sum[c] / weight));
    }
    if (error) *error = end - begin > 1 ? std::max(spread, 0.0) : 0.0;
    return mean;
}

/// Splits box at the weighted median of its widest channel; false when its
/// colours cannot be split (a single colour).
bool split_box(std::vector<weighted_colour>& colours, const colour_box& box, colour_box* low, colour_box* high) {
    if (box.end - box.begin < 2) return false;
    int widest = 0, widest_range = -1;
    for (int c = 0; c < 3; ++c) {
        int lo = 255, hi = 0;
        for (std::size_t i = box.begin; i < box.end; ++i) {
            lo = std::min(lo, channel(colours[i].rgb, c));
            hi = std::max(hi, channel(colours[i].rgb, c));
        }
        if (hi - lo > widest_range) widest = c, widest_range = hi - lo;
    }
    // Order by the channel, then by the whole colour, so that the cut is the same on every run.
    std::sort(colours.begin() + std::ptrdiff_t(box.begin), colours.begin() + std::ptrdiff_t(box.end),
              [widest](const weighted_colour& a, const weighted_colour& b) {
                  const int ca = channel(a.rgb, widest), cb = channel(b.rgb, widest);
                  return ca != cb ? ca < cb : a.rgb < b.rgb;
              });
    double total = 0;
    for (std::size_t i = box.begin; i < box.end; ++i) total += colours[i].weight;
    double running = 0;
    std::size_t cut = box.begin + 1;
    for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
        running += colours[i].weight;
        cut = i + 1;
        if (running * 2 >= total) break;
    }
    *low = colour_box{box.begin, cut, 0};
    *high = colour_box{cut, box.end, 0};
    box_mean(colours, low->begin, low->end, &low->error);
    box_mean(colours, high->begin, high->end, &high->error);
    return true;
}

/// Nearest-entry search through a 32 x 32 x 32 grid of cells (8 levels a side),
/// each listing the entries that can be nearest to some colour in it: by the
/// triangle inequality, those within d + 2r of its centre, where d is the
/// centre's distance to its nearest entry and r the cell's half diagonal.
class nearest_entries {
  public:
    explicit nearest_entries(const std::vector<std::uint32_t>& palette) : palette_(palette) {
        const double reach = 2 * std::sqrt(3.0) * 4;
        std::vector<double> distance(palette.size());
        for (int cell = 0; cell < CELLS; ++cell) {
            const double centre[3] = {(cell >> 10) * 8 + 3.5, (cell >> 5 & 31) * 8 + 3.5, (cell & 31) * 8 + 3.5};
            double nearest = std::numeric_limits<double>::max();
            for (std::size_t e = 0; e < palette.size(); ++e) {
                double sum = 0;
                for (int c = 0; c < 3; ++c) {
                    const double d = channel(palette[e], c) - centre[c];
                    sum += d * d;
                }
                distance[e] = std::sqrt(sum);
                nearest = std::min(nearest, distance[e]);
            }
            first_[cell] = std::uint32_t(candidates_.size());
            for (std::size_t e = 0; e < palette.size(); ++e)
                if (distance[e] <= nearest + reach + 1e-9) candidates_.push_back(std::uint8_t(e));
        }
        first_[CELLS] = std::uint32_t(candidates_.size());
    }

    std::size_t nearest(std::uint32_t rgb) const {
        const int cell = int((rgb >> 19 & 31) << 10 | (rgb >> 11 & 31) << 5 | (rgb >> 3 & 31));
        std::size_t best = candidates_[first_[cell]];
        std::uint32_t best_distance = squared_distance(palette_[best], rgb);
        for (std::uint32_t i = first_[cell] + 1; i < first_[cell + 1]; ++i) {
            const std::uint32_t d = squared_distance(palette_[candidates_[i]], rgb);
            if (d < best_distance) best = candidates_[i], best_distance = d;
        }
        return best;
    }

  private:
    static constexpr int CELLS = 32 * 32 * 32;
    const std::vector<std::uint32_t>& palette_;
    std::array<std::uint32_t, CELLS + 1> first_{};
    std::vector<std::uint8_t> candidates_;
};

void measure_error(const std::vector<colour_count>& histogram, quantised_colours* q) {
    double weight = 0, sum = 0;
    q->max_error = 0;
    for (std::size_t i = 0; i < histogram.size(); ++i) {
        const double e = std::sqrt(double(squared_distance(histogram[i].rgb, q->palette[q->index[i]])));
        weight += double(histogram[i].count);
        sum += e * double(histogram[i].count);
        q->max_error = std::max(q->max_error, e);
    }
    q->mean_error = weight > 0 ? sum / weight : 0;
}

}  // namespace

std::size_t nearest_palette_entry(const std::vector<std::uint32_t>& palette, std::uint32_t rgb) {
    std::size_t best = 0;
    for (std::size_t e = 1; e < palette.size(); ++e)
        if (squared_distance(palette[e], rgb) < squared_distance(palette[best], rgb)) best = e;
    return best;
}

quantised_colours quantise_colours(const std::vector<colour_count>& histogram, int max_colours) {
    quantised_colours q;
    if (histogram.size() <= std::size_t(max_colours)) {
        q.exact = true;
        for (std::size_t i = 0; i < histogram.size(); ++i) {
            q.palette.push_back(histogram[i].rgb);
            q.index.push_back(std::uint8_t(i));
        }
        return q;
    }

    // Median cut.
    std::vector<weighted_colour> colours(histogram.size());
    for (std::size_t i = 0; i < histogram.size(); ++i)
        colours[i] = {histogram[i].rgb, std::pow(double(histogram[i].count), WEIGHT_POWER)};
    std::vector<colour_box> boxes{{0, colours.size(), 0}};
    box_mean(colours, 0, colours.size(), &boxes[0].error);
    while (boxes.size() < std::size_t(max_colours)) {
        std::size_t worst = 0;
        for (std::size_t b = 1; b < boxes.size(); ++b)
            if (boxes[b].error > boxes[worst].error) worst = b;
        colour_box low, high;
        if (boxes[worst].error <= 0 || !split_box(colours, boxes[worst], &low, &high)) break;
        boxes[worst] = low;
        boxes.push_back(high);
    }
    for (const colour_box& box : boxes) q.palette.push_back(box_mean(colours, box.begin, box.end, nullptr));

    // k-means on the original histogram. The grid search pays for itself only
    // on histograms much larger than its 32,768 cells.
    q.index.assign(histogram.size(), 0);
    const bool use_grid = histogram.size() > GRID_WORTHWHILE;
    for (int round = 0; round <= KMEANS_ROUNDS; ++round) {
        std::unique_ptr<nearest_entries> grid;
        if (use_grid) grid = std::make_unique<nearest_entries>(q.palette);
        bool changed = round == 0;
        for (std::size_t i = 0; i < histogram.size(); ++i) {
            const auto entry = std::uint8_t(grid ? grid->nearest(histogram[i].rgb)
                                                 : nearest_palette_entry(q.palette, histogram[i].rgb));
            changed |= entry != q.index[i];
            q.index[i] = entry;
        }
        if (!changed || round == KMEANS_ROUNDS) break;
        std::vector<std::array<double, 4>> sums(q.palette.size(), {0, 0, 0, 0});
        for (std::size_t i = 0; i < histogram.size(); ++i) {
            const double w = std::pow(double(histogram[i].count), WEIGHT_POWER);
            for (int c = 0; c < 3; ++c) sums[q.index[i]][std::size_t(c)] += w * channel(histogram[i].rgb, c);
            sums[q.index[i]][3] += w;
        }
        for (std::size_t e = 0; e < q.palette.size(); ++e) {
            if (sums[e][3] == 0) continue;  // an entry nobody chose keeps its colour
            std::uint32_t mean = 0;
            for (int c = 0; c < 3; ++c) mean = mean << 8 | std::uint32_t(std::lround(sums[e][std::size_t(c)] / sums[e][3]));
            q.palette[e] = mean;
        }
        q.kmeans_rounds = round + 1;
    }
    measure_error(histogram, &q);
    return q;
}
