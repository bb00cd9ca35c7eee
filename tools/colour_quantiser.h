// Colour reduction for palettes of at most 255 colours (MagicaVoxel's limit):
// median cut over the colour histogram (each box split where its weight halves,
// along its widest channel, always the box with the largest squared error
// first), then refined by rounds of k-means (Lloyd's: each colour to its
// nearest palette entry, each entry to the weighted mean of its colours). A
// colour weighs the fourth root of its count there, so rare colours keep an
// entry near them; the errors reported are weighted by the counts themselves.
// Histograms that already fit go through unchanged. Deterministic: the same
// histogram always gives the same palette.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// One colour of a histogram, 0xRRGGBB, and how often it occurs (> 0).
struct colour_count {
    std::uint32_t rgb;
    std::uint64_t count;
};

struct quantised_colours {
    std::vector<std::uint32_t> palette;  // 0xRRGGBB, at most the number asked for
    std::vector<std::uint8_t> index;     // per histogram entry, its palette entry
    bool exact = false;                  // every colour kept as it was
    int kmeans_rounds = 0;               // k-means rounds run after the median cut
    double mean_error = 0;               // RGB distance (0..441), weighted by count
    double max_error = 0;
};

/// Reduces histogram (distinct colours) to at most max_colours (1..256) entries.
quantised_colours quantise_colours(const std::vector<colour_count>& histogram, int max_colours);

/// Index of the palette entry nearest rgb (Euclidean in RGB; the lowest index on a
/// tie). The palette must not be empty.
std::size_t nearest_palette_entry(const std::vector<std::uint32_t>& palette, std::uint32_t rgb);
