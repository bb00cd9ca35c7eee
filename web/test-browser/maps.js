// Maps for the browser tests that the generator does not make: caves, an
// overhanging slab on a pillar, a floating block and a tunnel through a hill.

import { encode_map } from "../test/vxl_builder.js";

const GRASS = [0x4f8f3a, 0x5c9a44], ROCK = 0x8a8378, SLAB = 0xd8c24a, FLOAT = 0xc04fd0;
const CAVE_FLOOR = 0xb0442e, CAVE_ROOF = 0x3a5fb0, TUNNEL = 0x2f9aa8;

/// one column from its solid runs [from, to) (z from the top) with the colours of
/// their top and bottom voxels
function column(runs) {
  const voxels = Array(64).fill(null);
  for (const { from, to, top, bottom } of runs) {
    for (let z = from; z < to; ++z) voxels[z] = 0;
    voxels[from] = top;
    if (bottom !== undefined && to < 64) voxels[to - 1] = bottom;
  }
  return voxels;
}

export function cave_map() {
  return encode_map((x, y) => {
    const grass = GRASS[((x >> 5) + (y >> 5)) & 1];
    const hill = Math.max(0, 18 - Math.hypot(x - 380, y - 130) / 5);  // a round hill
    const surface = Math.round(44 - hill);
    const runs = [];
    // The floating block, high above everything.
    if (x >= 300 && x < 340 && y >= 300 && y < 340) runs.push({ from: 8, to: 13, top: FLOAT, bottom: FLOAT });
    // A slab overhanging open ground, held up by a pillar at one end.
    const slab = x >= 120 && x < 240 && y >= 90 && y < 190;
    const pillar = x >= 120 && x < 136 && y >= 130 && y < 150;
    if (pillar) runs.push({ from: 24, to: 64, top: SLAB });
    else {
      if (slab) runs.push({ from: 24, to: 28, top: SLAB, bottom: ROCK });
      // The ground, with a cave under part of it and a tunnel through the hill.
      // The cave's mouth opens in the map's south side; the tunnel runs on in a
      // trench where the hill is too low to hold it.
      const cave = x >= 200 && x < 420 && y >= 400;
      const tunnel = y >= 120 && y < 140 && x >= 290 && x < 470;
      if (cave) runs.push({ from: surface, to: 50, top: grass, bottom: CAVE_ROOF }, { from: 56, to: 64, top: CAVE_FLOOR });
      else if (tunnel && surface < 38) runs.push({ from: surface, to: 38, top: grass, bottom: TUNNEL }, { from: 43, to: 64, top: TUNNEL });
      else if (tunnel) runs.push({ from: 47, to: 64, top: TUNNEL });
      else runs.push({ from: surface, to: 64, top: grass });
    }
    return column(runs);
  });
}
