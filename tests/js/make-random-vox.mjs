// Writes a random MagicaVoxel scene with caves, overhangs and floating blocks:
// three models (two 96 x 96 x 40, one 60 x 50 x 30 turned a quarter round z),
// placed apart by their transforms under one group, coloured in bands of height
// from 12 colours of a random palette per model. The same seed gives the same
// file. Prints the number of voxels.
//
//   node make-random-vox.mjs SEED OUT.vox
import { writeFileSync } from "node:fs";

const [seedText, out] = process.argv.slice(2);
if (!out) {
  console.error("usage: node make-random-vox.mjs SEED OUT.vox");
  process.exit(2);
}
let state = (Number(seedText) >>> 0) || 1;
const random = (n) => {
  // xorshift32
  state ^= state << 13; state >>>= 0;
  state ^= state >>> 17;
  state ^= state << 5; state >>>= 0;
  return state % n;
};

const parts = [];
const i32 = (...values) => { const b = Buffer.alloc(4 * values.length); values.forEach((v, k) => b.writeInt32LE(v, 4 * k)); return b; };
const text = (s) => Buffer.concat([i32(Buffer.byteLength(s)), Buffer.from(s)]);
const dict = (entries) => Buffer.concat([i32(entries.length), ...entries.flatMap(([k, v]) => [text(k), text(v)])]);
const chunk = (id, content) => Buffer.concat([Buffer.from(id), i32(content.length, 0), content]);

function model(sx, sy, sz, firstColour) {
  const voxels = [];
  for (let x = 0; x < sx; ++x)
    for (let y = 0; y < sy; ++y) {
      if (random(40) === 0) continue;
      let z = random(3), solid = true;
      while (z < sz) {
        const run = 1 + random(solid ? 9 : 5);
        if (solid) for (let k = z; k < Math.min(sz, z + run); ++k) voxels.push(x, y, k, firstColour + ((k >> 2) % 12));
        z += run;
        solid = !solid;
      }
    }
  parts.push(chunk("SIZE", i32(sx, sy, sz)), chunk("XYZI", Buffer.concat([i32(voxels.length / 4), Buffer.from(voxels)])));
  return voxels.length / 4;
}

let count = 0;
count += model(96, 96, 40, 1);
count += model(96, 96, 40, 13);
count += model(60, 50, 30, 25);
const transform = (id, child, layer, frame) =>
  chunk("nTRN", Buffer.concat([i32(id), dict([]), i32(child, -1, layer, 1), dict(frame)]));
const shape = (id, m) => chunk("nSHP", Buffer.concat([i32(id), dict([]), i32(1, m), dict([])]));
parts.push(
  transform(0, 1, -1, []),
  chunk("nGRP", Buffer.concat([i32(1), dict([]), i32(3, 2, 4, 6)])),
  transform(2, 3, 0, [["_t", "-48 -48 20"]]), shape(3, 0),
  transform(4, 5, 0, [["_t", "48 -48 20"]]), shape(5, 1),
  // _r 17: x' = -y, y' = x (a quarter turn about z); it stands above the first two models' ground.
  transform(6, 7, 0, [["_t", "0 100 15"], ["_r", "17"]]), shape(7, 2),
  chunk("LAYR", Buffer.concat([i32(0), dict([["_name", "random"]]), i32(-1)])),
  chunk("RGBA", Buffer.from(Array.from({ length: 1024 }, (_, i) => (i % 4 === 3 ? 255 : random(256))))),
);
const children = Buffer.concat(parts);
writeFileSync(out, Buffer.concat([Buffer.from("VOX "), i32(150), Buffer.from("MAIN"), i32(0, children.length), children]));
console.log(count);
