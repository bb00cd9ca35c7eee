// Builds VXL images for the tests: maps with caves, overhangs and floating
// blocks that the generator never makes. A column is given as 64 entries from
// the top layer down: null for air, 0 for a solid voxel without a colour, or a
// 0xRRGGBB colour. Colours may stand only where the format keeps them: the run
// that starts a solid stretch and the run that ends it.

export const MAP_SIZE = 512;

/// the record of one column, as bytes
export function encode_column(voxels) {
  const out = [];
  const color_bytes = (c) => [c & 0xff, (c >>> 8) & 0xff, (c >>> 16) & 0xff, 0x80];
  let z = 0;
  let air_start = 0;
  for (;;) {
    while (z < 64 && voxels[z] === null) ++z;
    if (z === 64) {
      out.push(0, 64, 63, air_start);
      return out;
    }
    const top_start = z;
    const top = [];
    while (z < 64 && voxels[z] !== null && voxels[z] !== 0) top.push(voxels[z++]);
    let end = z;  // one past the solid stretch
    while (end < 64 && voxels[end] !== null) ++end;
    const top_end = top_start + top.length - 1;
    if (end === 64) {
      for (let i = z; i < 64; ++i) if (voxels[i] !== 0) throw new Error(`colour at z ${i} the format cannot keep`);
      out.push(0, top_start, top_end & 0xff, air_start);
      for (const c of top) out.push(...color_bytes(c));
      return out;
    }
    let bottom_start = end;
    while (bottom_start > z && voxels[bottom_start - 1] !== 0) --bottom_start;
    for (let i = z; i < bottom_start; ++i) if (voxels[i] !== 0) throw new Error(`colour at z ${i} the format cannot keep`);
    const bottom = voxels.slice(bottom_start, end);
    out.push(1 + top.length + bottom.length, top_start, top_end & 0xff, air_start);
    for (const c of [...top, ...bottom]) out.push(...color_bytes(c));
    air_start = end;
    z = end;
  }
}

/// A whole image: column(x, y) gives each column's 64 entries.
export function encode_map(column) {
  const parts = [];
  const known = new Map();  // columns given as the same array are encoded once
  let length = 0;
  for (let y = 0; y < MAP_SIZE; ++y)
    for (let x = 0; x < MAP_SIZE; ++x) {
      const voxels = column(x, y);
      let record = known.get(voxels);
      if (!record) known.set(voxels, (record = encode_column(voxels)));
      parts.push(record);
      length += record.length;
    }
  const bytes = new Uint8Array(length);
  let at = 0;
  for (const record of parts) {
    bytes.set(record, at);
    at += record.length;
  }
  return bytes;
}

/// a column solid from z top down, coloured on its top voxel and on the voxels it shows at its sides down to z side
export function ground(top, color, side = top) {
  return Array.from({ length: 64 }, (_, z) => (z < top ? null : z <= side ? color : 0));
}

export const AIR = Array(64).fill(null);
