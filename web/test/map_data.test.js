import { test } from "node:test";
import assert from "node:assert/strict";

import { decode_vxl, is_solid, shown_color, column_colors, popcount32, MAP_SIZE } from "../map_data.js";
import { encode_column, encode_map, ground, AIR } from "./vxl_builder.js";

const RED = 0xd03030, GREEN = 0x30d030, BLUE = 0x3030d0, GREY = 0x808080;

/// a map that is air but for the given columns: { "x,y": voxels }
function map_with(columns) {
  return decode_vxl(encode_map((x, y) => columns[`${x},${y}`] ?? AIR));
}

/// a deterministic stream of numbers in [0, 1)
function random(seed) {
  let s = seed >>> 0;
  return () => ((s = (Math.imul(s, 1664525) + 1013904223) >>> 0) / 2 ** 32);
}

/// a random column the format can hold: solid stretches with colours at their ends
function random_column(next) {
  const voxels = Array(64).fill(null);
  for (let z = Math.floor(next() * 8); z < 64; ) {
    const length = 1 + Math.floor(next() * 20);
    const end = Math.min(64, z + length);
    for (let i = z; i < end; ++i) voxels[i] = 0;
    const top = Math.floor(next() * 4), bottom = end === 64 ? 0 : Math.floor(next() * 4);
    for (let i = z; i < Math.min(end, z + top); ++i) voxels[i] = 1 + Math.floor(next() * 0xfffffe);
    for (let i = Math.max(z + top, end - bottom); i < end; ++i) voxels[i] = 1 + Math.floor(next() * 0xfffffe);
    z = end + 1 + Math.floor(next() * 6) + (next() < 0.3 ? 20 : 0);
  }
  return voxels;
}

test("decoding gives back the voxels and colours of every column", () => {
  const next = random(7);
  const columns = {};
  for (let i = 0; i < 300; ++i) columns[`${Math.floor(next() * 512)},${Math.floor(next() * 512)}`] = random_column(next);
  const map = map_with(columns);
  for (const [at, voxels] of Object.entries(columns)) {
    const [x, y] = at.split(",").map(Number);
    const k = y * MAP_SIZE + x;
    for (let z = 0; z < 64; ++z) {
      assert.equal(is_solid(map, x, y, z), voxels[z] !== null, `solid at ${at} z ${z}`);
      if (voxels[z]) assert.equal(shown_color(map, k, z), voxels[z], `colour at ${at} z ${z}`);
    }
  }
  assert.equal(is_solid(map, 3, 3, 10), false, "other columns are air");
  assert.equal(is_solid(map, -1, 0, 10), false, "outside the map is air");
  assert.equal(is_solid(map, 512, 0, 10), false);
});

test("hidden voxels show the nearest colour above, else below, else grey", () => {
  const cases = [
    { what: "below a coloured top", voxels: ground(10, RED), z: 40, shown: RED },
    { what: "a hidden top layer takes the colour below", voxels: [0, 0, BLUE, null, ...ground(4, RED).slice(4)], z: 0, shown: BLUE },
    { what: "the nearest above wins over one below", voxels: [null, RED, 0, 0, null, GREEN, ...Array(58).fill(0)], z: 3, shown: RED },
    { what: "a column without colours is grey", voxels: Array(64).fill(0), z: 20, shown: GREY },
  ];
  const columns = {};
  cases.forEach((c, i) => (columns[`${i},0`] = c.voxels));
  const map = map_with(columns);
  cases.forEach((c, i) => assert.equal(shown_color(map, i, c.z), c.shown, c.what));
});

test("column colours agree with the voxel-by-voxel rule on random columns", () => {
  const next = random(11);
  const columns = {};
  for (let x = 0; x < 200; ++x) columns[`${x},5`] = random_column(next);
  const map = map_with(columns);
  const out = new Uint32Array(64);
  for (let x = 0; x < 200; ++x) {
    const k = 5 * MAP_SIZE + x;
    column_colors(map, k, out);
    for (let z = 0; z < 64; ++z) if (is_solid(map, x, 5, z)) assert.equal(out[z], shown_color(map, k, z), `x ${x} z ${z}`);
  }
});

test("a damaged image is refused with the byte and column, never read past its end", () => {
  const whole = encode_map((x, y) => (x === 2 && y === 0 ? ground(30, GREEN) : AIR));
  const cases = [
    { what: "cut inside the colours of column (2, 0)", bytes: whole.subarray(0, 8 + 6), message: /column \(2, 0\)/ },
    { what: "cut after a few columns", bytes: whole.subarray(0, 400), message: /column \(99, 0\)/ },
    { what: "empty", bytes: new Uint8Array(0), message: /byte 0, column \(0, 0\)/ },
    { what: "a top run past the bottom", bytes: Uint8Array.from([0, 60, 70, 0, ...whole.subarray(4)]), message: /top run/ },
  ];
  for (const c of cases) assert.throws(() => decode_vxl(c.bytes), c.message, c.what);
  assert.equal(decode_vxl(whole).record_bytes, whole.length);
});

test("the test encoder writes the format's own example records", () => {
  // An air column, and a ground column coloured at its top voxel only.
  assert.deepEqual(encode_column(AIR), [0x00, 0x40, 0x3f, 0x00]);
  assert.deepEqual(encode_column(ground(63, RED)), [0x00, 0x3f, 0x3f, 0x00, 0x30, 0x30, 0xd0, 0x80]);
  // Air 0..9, a stretch 10..31 coloured at 10 and at 30, 31 above the air at 32.
  const voxels = Array(64).fill(null);
  for (let z = 10; z < 32; ++z) voxels[z] = 0;
  voxels[10] = RED, voxels[30] = GREEN, voxels[31] = BLUE;
  for (let z = 40; z < 64; ++z) voxels[z] = 0;
  voxels[40] = RED;
  assert.deepEqual(encode_column(voxels).slice(0, 4), [4, 10, 10, 0]);
  assert.deepEqual(encode_column(voxels).slice(16, 20), [0, 40, 40, 32]);
  assert.throws(() => encode_column([RED, 0, RED, ...Array(61).fill(0)]), /cannot keep/);
});

test("popcount counts the bits of any 32-bit word", () => {
  for (const [v, n] of [[0, 0], [1, 1], [0xffffffff, 32], [0x80000000, 1], [0x55555555, 16], [0x0f0f00f0, 12]])
    assert.equal(popcount32(v), n, v.toString(16));
});
