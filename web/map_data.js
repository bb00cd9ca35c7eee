// A VXL map decoded for the page: per column its solid and coloured voxels as two
// 32-bit masks each (bit z of lo for z 0..31, bit z - 32 of hi for z 32..63; z = 0
// is the top layer) and the colours of its coloured voxels. Column (x, y) is
// entry y * 512 + x, the file's order. The file was validated by vxltool before
// it was embedded; decoding still stops at the first record that does not fit,
// so a damaged page never reads outside its data or loops.

export const MAP_SIZE = 512;
export const COLUMN_DEPTH = 64;
export const COLUMNS = MAP_SIZE * MAP_SIZE;
export const MID_GREY = 0x808080;

/// number of set bits of a 32-bit word
export function popcount32(v) {
  v = v - ((v >>> 1) & 0x55555555);
  v = (v & 0x33333333) + ((v >>> 2) & 0x33333333);
  return (Math.imul((v + (v >>> 4)) & 0x0f0f0f0f, 0x01010101) >>> 24);
}

/// mask pair [lo, hi] of voxels from .. to - 1 (0 <= from <= to <= 64)
export function range_mask(from, to) {
  const word = (a, b) => (b <= a ? 0 : b - a >= 32 ? 0xffffffff : (((1 << (b - a)) - 1) << a) >>> 0);
  return [word(Math.min(from, 32), Math.min(to, 32)), word(Math.max(from, 32) - 32, Math.max(to, 32) - 32)];
}

function set_range(pair, from, to) {
  const m = range_mask(from, to);
  pair[0] = (pair[0] | m[0]) >>> 0, pair[1] = (pair[1] | m[1]) >>> 0;
}

function clear_range(pair, from, to) {
  const m = range_mask(from, to);
  pair[0] = (pair[0] & ~m[0]) >>> 0, pair[1] = (pair[1] & ~m[1]) >>> 0;
}

/// Decodes a whole VXL image (a Uint8Array). Returns the decoded map, or throws an
/// Error naming the byte and column of the first record that does not fit.
export function decode_vxl(bytes) {
  const solid_lo = new Uint32Array(COLUMNS), solid_hi = new Uint32Array(COLUMNS);
  const colored_lo = new Uint32Array(COLUMNS), colored_hi = new Uint32Array(COLUMNS);
  const first_color = new Uint32Array(COLUMNS + 1);
  let colors = new Uint32Array(Math.max(1024, bytes.length >>> 3));
  let count = 0;
  const length = bytes.length;
  let r = 0;
  const fail = (k, what) => {
    throw new Error(`byte ${r}, column (${k % MAP_SIZE}, ${Math.floor(k / MAP_SIZE)}): ${what}`);
  };
  // Colours arrive in z order (a span's top run, then its bottom run, each span
  // below the last), so they are appended as they are read.
  const append = (at, n) => {
    if (count + n > colors.length) {
      const grown = new Uint32Array(Math.max(colors.length * 2, count + n));
      grown.set(colors);
      colors = grown;
    }
    for (let i = 0; i < n; ++i, at += 4) colors[count++] = bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16;
  };
  for (let k = 0; k < COLUMNS; ++k) {
    let solid = [0xffffffff, 0xffffffff], colored = [0, 0];
    first_color[k] = count;
    let cursor = 0;
    for (let spans = 0; ; ++spans) {
      if (spans > COLUMN_DEPTH || r + 4 > length) fail(k, "record does not fit");
      const span_length = bytes[r], top_start = bytes[r + 1], top_end = bytes[r + 2];
      const empty_top = top_end + 1 === top_start || (top_start === 0 && top_end === 255);
      const top_count = empty_top ? 0 : top_end - top_start + 1;
      if (top_start > COLUMN_DEPTH || top_start < cursor || top_count < 0 || top_start + top_count > COLUMN_DEPTH ||
          r + 4 + 4 * top_count > length)
        fail(k, "top run does not fit");
      clear_range(solid, cursor, top_start);
      set_range(colored, top_start, top_start + top_count);
      append(r + 4, top_count);
      if (span_length === 0) {
        r += 4 + 4 * top_count;
        break;
      }
      const next = r + 4 * span_length;
      const bottom_count = span_length - 1 - top_count;
      if (bottom_count < 0 || next + 4 > length) fail(k, "span does not fit");
      const air_start = bytes[next + 3];
      const bottom_start = air_start - bottom_count;
      if (air_start > COLUMN_DEPTH || bottom_start < top_start + top_count) fail(k, "bottom run does not fit");
      set_range(colored, bottom_start, air_start);
      append(r + 4 + 4 * top_count, bottom_count);
      cursor = air_start;
      r = next;
    }
    solid_lo[k] = solid[0], solid_hi[k] = solid[1];
    colored_lo[k] = colored[0], colored_hi[k] = colored[1];
  }
  first_color[COLUMNS] = count;
  return { solid_lo, solid_hi, colored_lo, colored_hi, first_color, colors: colors.subarray(0, count), record_bytes: r };
}

/// bit z of a (lo, hi) mask pair
export function bit(lo, hi, z) {
  return z < 32 ? (lo >>> z) & 1 : (hi >>> (z - 32)) & 1;
}

/// number of set bits below z in a (lo, hi) mask pair
export function count_below(lo, hi, z) {
  if (z <= 0) return 0;
  if (z < 32) return popcount32(lo & ((1 << z) - 1) >>> 0);
  if (z === 32) return popcount32(lo);
  return popcount32(lo) + popcount32(hi & ((1 << (z - 32)) - 1) >>> 0);
}

/// is voxel z of column (x, y) solid? Outside the map is air.
export function is_solid(map, x, y, z) {
  if (x < 0 || y < 0 || x >= MAP_SIZE || y >= MAP_SIZE || z < 0 || z >= COLUMN_DEPTH) return false;
  const k = y * MAP_SIZE + x;
  return bit(map.solid_lo[k], map.solid_hi[k], z) === 1;
}

/// colour (0xRRGGBB) of coloured voxel z of column entry k
function own_color(map, k, z) {
  return map.colors[map.first_color[k] + count_below(map.colored_lo[k], map.colored_hi[k], z)];
}

/// Colour to show for solid voxel z of column entry k: its own when the file gives
/// one, else that of the nearest coloured voxel above it in the column, else the
/// nearest below, else mid grey. The file leaves hidden voxels uncoloured, and the
/// view still shows some (the map's sides, a solid top layer).
export function shown_color(map, k, z) {
  const lo = map.colored_lo[k], hi = map.colored_hi[k];
  if (bit(lo, hi, z)) return own_color(map, k, z);
  for (let above = z - 1; above >= 0; --above) if (bit(lo, hi, above)) return own_color(map, k, above);
  for (let below = z + 1; below < COLUMN_DEPTH; ++below) if (bit(lo, hi, below)) return own_color(map, k, below);
  return MID_GREY;
}

/// Fills out[0..63] with the colour shown for every voxel of column entry k (also
/// for air voxels, which nobody shows), in one pass down the column instead of a
/// search per voxel.
export function column_colors(map, k, out) {
  const lo = map.colored_lo[k], hi = map.colored_hi[k];
  if ((lo | hi) === 0) {
    out.fill(MID_GREY);
    return out;
  }
  // Above the first coloured voxel the nearest is the first one, below it.
  let index = map.first_color[k];
  let last = map.colors[index];
  for (let z = 0; z < COLUMN_DEPTH; ++z) {
    if (bit(lo, hi, z)) last = map.colors[index++];
    out[z] = last;
  }
  return out;
}
