import { test } from "node:test";
import assert from "node:assert/strict";

import { decode_vxl, is_solid, shown_color, MAP_SIZE } from "../map_data.js";
import { build_mesh, merge_rectangles, MeshTooLarge, SHADE, BOTTOM_COLOR } from "../map_mesh.js";
import { encode_map, ground, AIR } from "./vxl_builder.js";

const RED = 0xd03030, GREEN = 0x30d030, BLUE = 0x3030d0;

const FACINGS = {
  up: [0, 1, 0], down: [0, -1, 0], east: [1, 0, 0], west: [-1, 0, 0], south: [0, 0, 1], north: [0, 0, -1],
};

function map_with(columns, fill = AIR) {
  return decode_vxl(encode_map((x, y) => columns[`${x},${y}`] ?? fill));
}

function shade(rgb, factor) {
  return [16, 8, 0].map((s) => Math.min(255, Math.round(((rgb >>> s) & 0xff) * factor)));
}

/// Every quad of a mesh cut back into unit faces: a Map from "x,y,z facing" (world
/// coordinates of the face's cell) to its RGB, failing on a quad that is not wound
/// towards its normal or a face covered twice.
function unit_faces(mesh) {
  const faces = new Map();
  for (const chunk of mesh.chunks) {
    const p = chunk.positions;
    assert.equal(chunk.indices.length % 6, 0);
    assert.ok(p.length / 3 <= 65536, "16-bit indices reach every vertex");
    for (let q = 0; q < chunk.indices.length / 6; ++q) {
      const v = [0, 1, 2, 3].map((i) => chunk.indices[q * 6 + [0, 1, 2, 5][i]]);
      const corner = (i) => [p[v[i] * 3], p[v[i] * 3 + 1], p[v[i] * 3 + 2]];
      const [a, b, c, d] = [0, 1, 2, 3].map(corner);
      const e1 = a.map((x, i) => b[i] - x), e2 = a.map((x, i) => c[i] - x);
      const n = [e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]];
      const facing = Object.keys(FACINGS).find((f) => FACINGS[f].every((x, i) => Math.sign(x) === Math.sign(n[i])));
      assert.ok(facing, `quad ${q} wound towards no axis: ${n}`);
      const rgb = [...chunk.colors.subarray(v[0] * 3, v[0] * 3 + 3)];
      const lo = [0, 1, 2].map((i) => Math.min(a[i], b[i], c[i], d[i]));
      const hi = [0, 1, 2].map((i) => Math.max(a[i], b[i], c[i], d[i]));
      for (let x = lo[0]; x < Math.max(hi[0], lo[0] + 1); ++x)
        for (let y = lo[1]; y < Math.max(hi[1], lo[1] + 1); ++y)
          for (let z = lo[2]; z < Math.max(hi[2], lo[2] + 1); ++z) {
            const key = `${x},${y},${z} ${facing}`;
            assert.ok(!faces.has(key), `${key} covered twice`);
            faces.set(key, rgb.join(","));
          }
    }
  }
  return faces;
}

/// The same, worked out voxel by voxel over the given columns: the plain rule the
/// mesher must agree with.
function plain_faces(map, columns) {
  const faces = new Map();
  for (const [x, y] of columns)
    for (let z = 0; z < 64; ++z) {
      if (!is_solid(map, x, y, z)) continue;
      const top = 64 - z, k = y * MAP_SIZE + x;
      const color = shown_color(map, k, z);
      const open = {
        up: [!is_solid(map, x, y, z - 1), `${x},${top},${y}`],
        down: [!is_solid(map, x, y, z + 1), `${x},${top - 1},${y}`],
        east: [!is_solid(map, x + 1, y, z), `${x + 1},${top - 1},${y}`],
        west: [!is_solid(map, x - 1, y, z), `${x},${top - 1},${y}`],
        south: [!is_solid(map, x, y + 1, z), `${x},${top - 1},${y + 1}`],
        north: [!is_solid(map, x, y - 1, z), `${x},${top - 1},${y}`],
      };
      for (const [facing, [is_open, cell]] of Object.entries(open)) {
        if (!is_open) continue;
        const rgb = facing === "down" && z === 63 ? shade(BOTTOM_COLOR, SHADE.down) : shade(color, SHADE[facing]);
        faces.set(`${cell} ${facing}`, rgb.join(","));
      }
    }
  return faces;
}

function random(seed) {
  let s = seed >>> 0;
  return () => ((s = (Math.imul(s, 1664525) + 1013904223) >>> 0) / 2 ** 32);
}

test("a lone voxel is a cube of six outward quads, shaded by facing", () => {
  const voxels = Array(64).fill(null);
  voxels[20] = RED;
  const map = map_with({ "100,40": voxels });
  const mesh = build_mesh(map);
  assert.equal(mesh.quads, 6);
  assert.equal(mesh.faces, 6);
  assert.deepEqual(unit_faces(mesh), plain_faces(map, [[100, 40]]));
  assert.equal(unit_faces(mesh).get("100,44,40 up"), shade(RED, SHADE.up).join(","));
});

test("flat ground of one colour merges into one quad per side of the map", () => {
  const mesh = build_mesh(map_with({}, ground(50, GREEN)));
  assert.equal(mesh.quads, 6, "top, underside and the four cut sides");
  assert.equal(mesh.faces, 2 * 512 * 512 + 4 * 512 * 14);
});

test("caves, overhangs and floating blocks have every open face, and only those", () => {
  // A 12 x 12 patch in a corner of the map (so the map's edges are cut too) and
  // one in the middle, of random columns with caves and overhangs, inside ground.
  const next = random(3);
  const columns = {};
  const patch = [];
  for (const [x0, y0] of [[0, 0], [300, 200]])
    for (let y = y0; y < y0 + 12; ++y)
      for (let x = x0; x < x0 + 12; ++x) {
        const voxels = Array(64).fill(null);
        const surface = 30 + Math.floor(next() * 8);
        for (let z = surface; z < 64; ++z) voxels[z] = 0;
        voxels[surface] = next() < 0.5 ? RED : GREEN;
        if (next() < 0.4) {
          // a cave: air inside the ground, its ceiling and floor coloured
          const top = surface + 3 + Math.floor(next() * 5), bottom = top + 2 + Math.floor(next() * 4);
          for (let z = top; z < bottom; ++z) voxels[z] = null;
          voxels[top - 1] = BLUE;
          voxels[bottom] = RED;
        }
        if (next() < 0.2) voxels[surface - 6] = GREEN;  // a floating block
        columns[`${x},${y}`] = voxels;
        patch.push([x, y]);
      }
  const map = map_with(columns);
  const mesh = build_mesh(map);
  const faces = unit_faces(mesh);
  assert.deepEqual(faces, plain_faces(map, patch));
  assert.equal(mesh.faces, faces.size);
  assert.ok(mesh.quads < faces.size / 2, `merging: ${mesh.quads} quads for ${faces.size} faces`);
});

test("large surfaces are split into chunks that 16-bit indices reach", () => {
  // A checkerboard of colours cannot merge: 256 x 256 separate tops.
  const map = map_with({});
  const checker = decode_vxl(encode_map((x, y) => (x < 256 && y < 256 ? ground(63, (x + y) % 2 ? RED : BLUE) : AIR)));
  const mesh = build_mesh(checker);
  assert.ok(mesh.chunks.length >= 2, `${mesh.chunks.length} chunks`);
  for (const chunk of mesh.chunks) {
    const vertices = chunk.positions.length / 3;
    assert.ok(vertices <= 65536);
    assert.equal(chunk.colors.length, chunk.positions.length);
    assert.ok(chunk.indices.every((i) => i < vertices));
  }
  assert.equal(mesh.chunks.reduce((n, c) => n + c.indices.length / 6, 0), mesh.quads);
  assert.equal(build_mesh(map).quads, 0, "an all-air map has no surface");
});

test("a surface past the budget is refused, not half built", () => {
  const map = map_with({}, ground(40, RED));
  assert.throws(() => build_mesh(map, { max_quads: 5 }), MeshTooLarge);
  assert.equal(build_mesh(map, { max_quads: 6 }).quads, 6);
});

test("merging takes the longest run, then whole equal rows", () => {
  const grid = Uint32Array.from([
    1, 1, 2, 0,
    1, 1, 2, 0,
    1, 1, 1, 3,
  ]);
  const rects = [];
  merge_rectangles(grid, 4, 3, (u, v, w, h, key) => rects.push([u, v, w, h, key]));
  assert.deepEqual(rects, [[0, 0, 2, 3, 1], [2, 0, 1, 2, 2], [2, 2, 1, 1, 1], [3, 2, 1, 1, 3]]);
  assert.ok(grid.every((k) => k === 0));
});
