// The constant tables of the gradient noise. They are part of the map format in
// all but name: change one entry and every map changes, so they are written out
// here exactly and never computed.
#include "numerics/noise.h"

// This system's own shuffle of 0..255 (not the one from the improved-noise paper).
// It hashes a lattice corner as P[P[P[x] + y] + z]. The table holds the shuffle
// twice in a row, so a table value (at most 255) plus a wrapped lattice coordinate
// (at most 255) indexes it directly, without a second wrap.
#define NOISE_PERMUTATION_256 \
     23, 125, 161,  52, 103, 117,  70,  37, 247, 101, 203, 169, 124, 126,  44, 123, \
    152, 238, 145,  45, 171, 114, 253,  10, 192, 136,   4, 157, 249,  30,  35,  72, \
    175,  63,  77,  90, 181,  16,  96, 111, 133, 104,  75, 162,  93,  56,  66, 240, \
      8,  50,  84, 229,  49, 210, 173, 239, 141,   1,  87,  18,   2, 198, 143,  57, \
    225, 160,  58, 217, 168, 206, 245, 204, 199,   6,  73,  60,  20, 230, 211, 233, \
     94, 200,  88,   9,  74, 155,  33,  15, 219, 130, 226, 202,  83, 236,  42, 172, \
    165, 218,  55, 222,  46, 107,  98, 154, 109,  67, 196, 178, 127, 158,  13, 243, \
     65,  79, 166, 248,  25, 224, 115,  80,  68,  51, 184, 128, 232, 208, 151, 122, \
     26, 212, 105,  43, 179, 213, 235, 148, 146,  89,  14, 195,  28,  78, 112,  76, \
    250,  47,  24, 251, 140, 108, 186, 190, 228, 170, 183, 139,  39, 188, 244, 246, \
    132,  48, 119, 144, 180, 138, 134, 193,  82, 182, 120, 121,  86, 220, 209,   3, \
     91, 241, 149,  85, 205, 150, 113, 216,  31, 100,  41, 164, 177, 214, 153, 231, \
     38,  71, 185, 174,  97, 201,  29,  95,   7,  92,  54, 254, 191, 118,  34, 221, \
    131,  11, 163,  99, 234,  81, 227, 147, 156, 176,  17, 142,  69,  12, 110,  62, \
     27, 255,   0, 194,  59, 116, 242, 252,  19,  21, 187,  53, 207, 129,  64, 135, \
     61,  40, 167, 237, 102, 223, 106, 159, 197, 189, 215, 137,  36,  32,  22,   5

const std::int32_t noise_permutation[512] = {NOISE_PERMUTATION_256, NOISE_PERMUTATION_256};

#undef NOISE_PERMUTATION_256

// The twelve vectors from the centre of a cube to the midpoints of its edges: each
// has two components of +-1 and one of 0, so a corner contribution is the sum of
// two offsets. The fourth component pads a record to 16 bytes; it is 0 and unread.
const float gradient_vectors[GRADIENT_RECORDS][4] = {
    { 1,  1,  0, 0}, {-1,  1,  0, 0}, { 1, -1,  0, 0}, {-1, -1,  0, 0},
    { 1,  0,  1, 0}, {-1,  0,  1, 0}, { 1,  0, -1, 0}, {-1,  0, -1, 0},
    { 0,  1,  1, 0}, { 0, -1,  1, 0}, { 0,  1, -1, 0}, { 0, -1, -1, 0},
};

// Maps the low six bits of a corner hash to a record of gradient_vectors. Twelve
// does not divide 64, so four entries pick records twice over: 12..15 hold 0, 9, 1,
// 11, which leaves records 0, 1, 9 and 11 with six entries each, the others with five.
const std::uint8_t gradient_select[64] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
    0, 9, 1, 11,
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
};
