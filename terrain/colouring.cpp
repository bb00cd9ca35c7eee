#include "terrain/colouring.h"

#include <algorithm>
#include <cmath>

#include "terrain/volume.h"

// Arithmetic is double; a value rounded to float is rounded by one visible
// static_cast<float> and then held in a double, so that no later expression
// falls into float arithmetic. Conversions to integer truncate toward zero.

namespace {

// Float constants widened to double; the doubles nearest 0.05 and 0.7 would
// give different colours.
constexpr float HEIGHT_SCALE = 0.05f;  // th ramps from h = 4 to h = 24
constexpr float LIGHT_WEIGHT = 0.7f;   // share of the light in the multiplier

constexpr int GREY = 120;  // steep slopes fade toward this level

// Light falls along the unit vector (0.6, 0, 0.8); these are doubles.
constexpr double LIGHT_X = 0.6;
constexpr double LIGHT_Z = 0.8;
constexpr double AMBIENT = 0.3;

}  // namespace

double smoothstep01(float t) {
    if (t < 0) return 0;
    if (t > 1) return 1;
    const double td = t;
    return 3 * (td * td) - 2 * ((td * td) * td);
}

std::uint32_t column_colour(float h, float h_prev_x, float h_prev_y, std::int32_t column_height) {
    const double hd = h;
    int red1, green1, blue1;
    double multiplier = 1;  // floor columns are not shaded
    if (column_height != 0) {
        const double th = static_cast<float>(smoothstep01(static_cast<float>((hd - 4) * HEIGHT_SCALE)));
        const double gx = static_cast<float>(hd - h_prev_x);
        const double gy = hd - h_prev_y;  // not rounded
        const double s2 = static_cast<float>(gy * gy + gx * gx);
        const double ts = static_cast<float>(smoothstep01(static_cast<float>(s2 * 0.625)));
        // Cosine between the surface normal direction (gx, gy, 1) and the light.
        const double q = std::clamp((gx * LIGHT_X + LIGHT_Z) / std::sqrt(s2 + 1), 0.0, 1.0);
        multiplier = std::clamp(q * LIGHT_WEIGHT + AMBIENT, 0.0, 1.0);

        const int red0 = static_cast<int>(th * 76 + 144);
        const int green0 = static_cast<int>(th * 60 + 160);
        const int blue0 = static_cast<int>(th * 116 + 104);
        red1 = static_cast<int>((GREY - red0) * ts + red0);
        green1 = static_cast<int>((GREY - green0) * ts + green0);
        blue1 = static_cast<int>((GREY - blue0) * ts + blue0);
    } else {
        // Deeper floor is bluer: (130, 170, 200) at h <= -0.5 to (144, 160, 104) at h >= 2.5.
        const double k = std::clamp(1 - (hd + 0.5) * (1.0 / 3), 0.0, 1.0);
        red1 = static_cast<int>(144 - 14 * k);
        green1 = static_cast<int>(160 + 10 * k);
        blue1 = static_cast<int>(104 + 96 * k);
    }
    const auto red = static_cast<std::uint32_t>(red1 * multiplier);
    const auto green = static_cast<std::uint32_t>(green1 * multiplier);
    const auto blue = static_cast<std::uint32_t>(blue1 * multiplier);
    return 0x80000000u | red << 16 | green << 8 | blue;
}

void colour_columns() {
    for (int x = 0; x < MAP_SIZE; ++x) {
        const int px = (x + MAP_SIZE - 1) % MAP_SIZE;  // column 0's neighbour is 511
        for (int y = 0; y < MAP_SIZE; ++y) {
            const int py = (y + MAP_SIZE - 1) % MAP_SIZE;
            const std::size_t c = column_index(x, y);
            const std::uint32_t colour =
                column_colour(height_field[c], height_field[column_index(px, y)], height_field[column_index(x, py)],
                              column_height[c]);
            std::fill_n(color_map + c * MAP_DEPTH, MAP_DEPTH, colour);
        }
    }
}
