// The surface of a map as coloured quads for the 3D view: every face of a solid
// voxel that touches air, or the outside of the map (its four sides and its bottom
// are closed, so the map reads as a solid block from any side), merged greedily
// into rectangles of one colour within each plane. Caves, overhangs and floating
// blocks come out like any other surface.
//
// World coordinates are three.js's, y up: column (x, y) spans world x .. x + 1 and
// z .. z + 1 (world z = map y), and voxel z (0 the top layer) spans world y
// 63 - z .. 64 - z. Each quad is wound counter-clockwise seen from the air side.

import { MAP_SIZE, COLUMN_DEPTH, COLUMNS, MID_GREY, bit, count_below, popcount32 } from "#map_data";

/// Light per facing, as if the sun stood above the map's (0, 0) corner: faces
/// towards -x and -y (the map's west and north) brighter than those opposite.
export const SHADE = { up: 1.0, down: 0.55, west: 0.86, north: 0.8, east: 0.64, south: 0.7 };
/// The underside of the bottom layer: one plain colour, so it merges into a few quads.
export const BOTTOM_COLOR = 0x2a2a2a;

/// A chunk holds at most this many vertices, so 16-bit indices reach them all.
const CHUNK_VERTICES = 65536;

/// The six facings: the normal in world coordinates, the plane a slice's quads lie
/// in, and the two directions (u, v) its grid runs along, in world units per cell.
/// For the sides u runs down the column (z), so vertical runs merge first.
const FACINGS = [
  { name: "up", normal: [0, 1, 0], u: [1, 0, 0], v: [0, 0, 1] },
  { name: "down", normal: [0, -1, 0], u: [1, 0, 0], v: [0, 0, 1] },
  { name: "east", normal: [1, 0, 0], u: [0, -1, 0], v: [0, 0, 1] },
  { name: "west", normal: [-1, 0, 0], u: [0, -1, 0], v: [0, 0, 1] },
  { name: "south", normal: [0, 0, 1], u: [0, -1, 0], v: [1, 0, 0] },
  { name: "north", normal: [0, 0, -1], u: [0, -1, 0], v: [1, 0, 0] },
];

function cross(a, b) {
  return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];
}

// Corner order per facing: P, P + u, P + u + v, P + v is counter-clockwise seen
// from the normal's side when u x v points along the normal; else the reverse.
for (const f of FACINGS) {
  const n = cross(f.u, f.v);
  f.forward = n[0] * f.normal[0] + n[1] * f.normal[1] + n[2] * f.normal[2] > 0;
}

/// two triangles per quad of four vertices, for the given number of quads
function quad_indices(quads) {
  const indices = new Uint16Array(quads * 6);
  for (let q = 0, i = 0; q < quads; ++q, i += 6) {
    const v = q * 4;
    indices[i] = v, indices[i + 1] = v + 1, indices[i + 2] = v + 2;
    indices[i + 3] = v, indices[i + 4] = v + 2, indices[i + 5] = v + 3;
  }
  return indices;
}

/// Every full chunk has the same indices, so they share one array.
let full_indices = null;
function full_chunk_indices() {
  return (full_indices ??= quad_indices(CHUNK_VERTICES / 4));
}

/// Collects quads into chunks of typed arrays that three.js takes as they are.
class QuadSink {
  constructor(max_quads) {
    this.chunks = [];
    this.quads = 0;
    this.max_quads = max_quads;
    this.open_chunk();
  }

  open_chunk() {
    this.positions = new Int16Array(CHUNK_VERTICES * 3);
    this.colors = new Uint8Array(CHUNK_VERTICES * 3);
    this.vertices = 0;
  }

  close_chunk() {
    if (this.vertices === 0) return;
    const quads = this.vertices / 4;
    const full = this.vertices === CHUNK_VERTICES;
    this.chunks.push({
      positions: full ? this.positions : this.positions.slice(0, this.vertices * 3),
      colors: full ? this.colors : this.colors.slice(0, this.vertices * 3),
      indices: full ? full_chunk_indices() : quad_indices(quads),
    });
  }

  /// Adds the quad with corner (px, py, pz) and edges a (along u) and b (along
  /// v), counter-clockwise from the normal's side when forward, in colour rgb
  /// (0xRRGGBB) times shade.
  add(px, py, pz, ax, ay, az, bx, by, bz, forward, rgb, shade) {
    if (++this.quads > this.max_quads) throw new MeshTooLarge(this.max_quads);
    if (this.vertices === CHUNK_VERTICES) {
      this.close_chunk();
      this.open_chunk();
    }
    const r = Math.min(255, Math.round(((rgb >>> 16) & 0xff) * shade));
    const g = Math.min(255, Math.round(((rgb >>> 8) & 0xff) * shade));
    const bl = Math.min(255, Math.round((rgb & 0xff) * shade));
    const p = this.positions, c = this.colors;
    let at = this.vertices * 3;
    // Corners P, P + a, P + a + b, P + b, or the other way round.
    const first = forward ? 3 : 9, last = forward ? 9 : 3;
    p[at] = px, p[at + 1] = py, p[at + 2] = pz;
    p[at + first] = px + ax, p[at + first + 1] = py + ay, p[at + first + 2] = pz + az;
    p[at + 6] = px + ax + bx, p[at + 7] = py + ay + by, p[at + 8] = pz + az + bz;
    p[at + last] = px + bx, p[at + last + 1] = py + by, p[at + last + 2] = pz + bz;
    for (let i = 0; i < 4; ++i, at += 3) c[at] = r, c[at + 1] = g, c[at + 2] = bl;
    this.vertices += 4;
  }
}

/// Thrown when a map's surface needs more quads than the view allows.
export class MeshTooLarge extends Error {
  constructor(max_quads) {
    super(`the surface needs more than ${max_quads} quads`);
    this.max_quads = max_quads;
  }
}

/// Merges equal non-zero keys of a width x height grid (u fastest) into rectangles,
/// greedily: the first unmerged cell in u, v order takes as many equal cells along u
/// as it can, then as many whole equal rows along v. Calls emit(u, v, w, h, key)
/// for each rectangle and leaves the grid all zero. cells, when given, lists the
/// indices of the non-zero cells in ascending order (cells[0 .. count - 1]): the
/// scan then visits only those, with the same result.
export function merge_rectangles(grid, width, height, emit, cells = null, count = 0) {
  const start = (i) => {
    const key = grid[i];
    const u = i % width, v = (i - u) / width;
    let w = 1;
    while (u + w < width && grid[i + w] === key) ++w;
    let h = 1;
    grow: while (v + h < height) {
      const next = i + h * width;
      for (let j = 0; j < w; ++j) if (grid[next + j] !== key) break grow;
      ++h;
    }
    for (let j = 0; j < h; ++j) grid.fill(0, i + j * width, i + j * width + w);
    emit(u, v, w, h, key);
    return w;
  };
  if (cells) {
    for (let n = 0; n < count; ++n) if (grid[cells[n]] !== 0) start(cells[n]);
    return;
  }
  for (let i = 0; i < width * height; ) i += grid[i] === 0 ? 1 : start(i);
}

/// Builds the surface of a decoded map (map_data.js). Returns { chunks, quads,
/// faces }: chunks of { positions (Int16, 3 per vertex), colors (Uint8 RGB, 3 per
/// vertex), indices (Uint16, 6 per quad) }, the number of quads, and the number of
/// voxel faces they cover. Throws MeshTooLarge past options.max_quads (default 4
/// million, some 160 MB of vertex data: more than a browser tab should be asked for).
export function build_mesh(map, options = {}) {
  const sink = new QuadSink(options.max_quads ?? 4_000_000);
  const colors = exposed_colors(map);
  let faces = 0;
  const [up, down, east, west, south, north] = FACINGS;
  const { solid_lo, solid_hi } = map;

  // Tops and undersides, one layer at a time: the grid is x by y. The open faces
  // are sorted by layer first (a counting sort keeps each layer's columns in
  // order), so each layer's merge visits only its own cells.
  const layer = new Uint32Array(COLUMNS);
  for (const facing of [up, down]) {
    const open_lo = new Uint32Array(COLUMNS), open_hi = new Uint32Array(COLUMNS);
    const per_layer = new Uint32Array(COLUMN_DEPTH + 1);
    for (let k = 0; k < COLUMNS; ++k) {
      const lo = solid_lo[k], hi = solid_hi[k];
      // Open above: voxel z - 1 is air (the sky over z = 0). Open below: z + 1 is
      // air, or z is the bottom layer.
      open_lo[k] = facing === up ? lo & ~(lo << 1) : lo & ~((lo >>> 1) | (hi << 31));
      open_hi[k] = facing === up ? hi & ~((hi << 1) | (lo >>> 31)) : hi & ~(hi >>> 1);
      for (let m = open_lo[k]; m !== 0; m &= m - 1) ++per_layer[32 - Math.clz32(m & -m)];
      for (let m = open_hi[k]; m !== 0; m &= m - 1) ++per_layer[64 - Math.clz32(m & -m)];
    }
    for (let z = 0; z < COLUMN_DEPTH; ++z) per_layer[z + 1] += per_layer[z];
    const cells = new Uint32Array(per_layer[COLUMN_DEPTH]);
    const fill = per_layer.slice(0, COLUMN_DEPTH);
    for (let k = 0; k < COLUMNS; ++k) {
      for (let m = open_lo[k]; m !== 0; m &= m - 1) cells[fill[31 - Math.clz32(m & -m)]++] = k;
      for (let m = open_hi[k]; m !== 0; m &= m - 1) cells[fill[63 - Math.clz32(m & -m)]++] = k;
    }
    const shade = SHADE[facing.name];
    for (let z = 0; z < COLUMN_DEPTH; ++z) {
      const first = per_layer[z], end = per_layer[z + 1];
      if (first === end) continue;
      const bottom = facing === down && z === COLUMN_DEPTH - 1;
      for (let n = first; n < end; ++n) layer[cells[n]] = bottom ? BOTTOM_KEY : colors.get(cells[n], z) + 1;
      const y = facing === up ? 64 - z : 63 - z;
      merge_rectangles(layer, MAP_SIZE, MAP_SIZE, (u, v, w, h, key) => {
        sink.add(u, y, v, w, 0, 0, 0, 0, h, facing.forward, key === BOTTOM_KEY ? BOTTOM_COLOR : key - 1, shade);
        faces += w * h;
      }, cells.subarray(first), end - first);
    }
  }

  // Sides, one plane between neighbouring columns at a time: the grid is z (u) by
  // the other horizontal axis (v), so vertical runs merge first. Outside the map
  // is air.
  const plane = new Uint32Array(COLUMN_DEPTH * MAP_SIZE);
  const cells = new Uint32Array(COLUMN_DEPTH * MAP_SIZE);
  for (const facing of [east, west, south, north]) {
    const along_x = facing === east || facing === west;
    const step = facing === east || facing === south ? 1 : -1;
    const shade = SHADE[facing.name];
    for (let s = 0; s < MAP_SIZE; ++s) {
      let count = 0;
      const neighbour_inside = step > 0 ? s + 1 < MAP_SIZE : s > 0;
      for (let t = 0; t < MAP_SIZE; ++t) {
        const k = along_x ? t * MAP_SIZE + s : s * MAP_SIZE + t;
        const nk = along_x ? k + step : k + step * MAP_SIZE;
        const open_lo = solid_lo[k] & ~(neighbour_inside ? solid_lo[nk] : 0);
        const open_hi = solid_hi[k] & ~(neighbour_inside ? solid_hi[nk] : 0);
        const row = t * COLUMN_DEPTH;
        for (let m = open_lo; m !== 0; m &= m - 1) {
          const z = 31 - Math.clz32(m & -m);
          plane[row + z] = colors.get(k, z) + 1;
          cells[count++] = row + z;
        }
        for (let m = open_hi; m !== 0; m &= m - 1) {
          const z = 63 - Math.clz32(m & -m);
          plane[row + z] = colors.get(k, z) + 1;
          cells[count++] = row + z;
        }
      }
      if (count === 0) continue;
      const at = step > 0 ? s + 1 : s;  // the plane's world coordinate
      merge_rectangles(plane, COLUMN_DEPTH, MAP_SIZE, (u, v, w, h, key) => {
        if (along_x) sink.add(at, 64 - u, v, 0, -w, 0, 0, 0, h, facing.forward, key - 1, shade);
        else sink.add(v, 64 - u, at, 0, -w, 0, h, 0, 0, facing.forward, key - 1, shade);
        faces += w * h;
      }, cells, count);
    }
  }
  sink.close_chunk();
  return { chunks: sink.chunks, quads: sink.quads, faces };
}

/// Key of the bottom layer's underside; colours are 24-bit, so keys colour + 1 never reach it.
const BOTTOM_KEY = 0x1000001;

/// The shown colour (map_data.js's shown_color) of every solid voxel that has at
/// least one open face, worked out once per column instead of once per face.
/// get(k, z) answers for exposed voxels only.
function exposed_colors(map) {
  const { solid_lo, solid_hi } = map;
  const mask_lo = new Uint32Array(COLUMNS), mask_hi = new Uint32Array(COLUMNS);
  const first = new Uint32Array(COLUMNS + 1);
  let count = 0;
  const neighbour = (x, y, words) => (x < 0 || y < 0 || x >= MAP_SIZE || y >= MAP_SIZE ? 0 : words[y * MAP_SIZE + x]);
  for (let y = 0; y < MAP_SIZE; ++y)
    for (let x = 0; x < MAP_SIZE; ++x) {
      const k = y * MAP_SIZE + x;
      const lo = solid_lo[k], hi = solid_hi[k];
      // Enclosed: solid above, below and on all four sides (the bottom layer is open below).
      const side_lo = neighbour(x - 1, y, solid_lo) & neighbour(x + 1, y, solid_lo) & neighbour(x, y - 1, solid_lo) & neighbour(x, y + 1, solid_lo);
      const side_hi = neighbour(x - 1, y, solid_hi) & neighbour(x + 1, y, solid_hi) & neighbour(x, y - 1, solid_hi) & neighbour(x, y + 1, solid_hi);
      const above_lo = lo << 1, above_hi = (hi << 1) | (lo >>> 31);
      const below_lo = (lo >>> 1) | (hi << 31), below_hi = hi >>> 1;
      mask_lo[k] = lo & ~(side_lo & above_lo & below_lo);
      mask_hi[k] = hi & ~(side_hi & above_hi & below_hi);
      first[k] = count;
      count += popcount32(mask_lo[k]) + popcount32(mask_hi[k]);
    }
  first[COLUMNS] = count;
  const shown = new Uint32Array(count);
  const { colored_lo, colored_hi, first_color } = map;
  for (let k = 0; k < COLUMNS; ++k) {
    const lo = mask_lo[k], hi = mask_hi[k];
    if ((lo | hi) === 0) continue;
    let at = first[k];
    const c_lo = colored_lo[k], c_hi = colored_hi[k];
    if ((c_lo | c_hi) === 0) {
      shown.fill(MID_GREY, at, first[k + 1]);
      continue;
    }
    // Walk the column from its first exposed voxel to its last, carrying the
    // colour of the nearest coloured voxel above (at the start: the one at or
    // above it, or the first one of the column when there is none).
    const from = lo !== 0 ? 31 - Math.clz32(lo & -lo) : 63 - Math.clz32(hi & -hi);
    const to = hi !== 0 ? 63 - Math.clz32(hi) : 31 - Math.clz32(lo);
    let index = first_color[k] + count_below(c_lo, c_hi, from);
    let last = map.colors[index > first_color[k] ? index - 1 : index];
    for (let z = from; z <= to; ++z) {
      if (bit(c_lo, c_hi, z)) last = map.colors[index++];
      if (bit(lo, hi, z)) shown[at++] = last;
    }
  }
  return {
    get(k, z) {
      const lo = mask_lo[k];
      const before = z < 32 ? popcount32(lo & (((1 << z) >>> 0) - 1)) : popcount32(lo) + popcount32(mask_hi[k] & (((1 << (z - 32)) >>> 0) - 1));
      return shown[first[k] + before];
    },
  };
}
