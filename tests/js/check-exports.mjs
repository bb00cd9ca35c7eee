// Reads files that vxltool exported with readers that owe it nothing: every .glb
// through the Khronos glTF validator (no errors allowed), every .vox through
// vox-reader, whose voxel count must match the count given after the name.
//
//   node check-exports.mjs map.glb map.vox:2872625 scene.vox:12345:3
//
// A .vox argument is FILE:VOXELS[:MINIMUM_MODELS]. Prints one line per file and
// exits 1 on the first problem.
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";

const require = createRequire(import.meta.url);
const validator = require("gltf-validator");
const readVox = require("vox-reader");

function fail(file, why) {
  console.error(`check-exports: ${file}: ${why}`);
  process.exit(1);
}

async function checkGlb(file) {
  const report = await validator.validateBytes(new Uint8Array(readFileSync(file)), { maxIssues: 100 });
  const { numErrors, numWarnings, numInfos, messages } = report.issues;
  for (const m of messages.filter((m) => m.severity <= 1).slice(0, 10))
    console.error(`  ${m.severity === 0 ? "error" : "warning"} ${m.code} at ${m.pointer ?? m.offset}: ${m.message}`);
  if (numErrors > 0) fail(file, `${numErrors} validation errors`);
  const info = report.info;
  console.log(
    `${file}: glTF ${info.version} by '${info.generator}', no errors, ${numWarnings} warnings, ${numInfos} infos; ` +
      `${info.totalTriangleCount} triangles, ${info.totalVertexCount} vertices, ${info.drawCallCount} draw calls`,
  );
}

function checkVox(argument) {
  const [file, expected, minimumModels = "1"] = argument.split(":");
  const vox = readVox(readFileSync(file));
  const list = (x) => (x === undefined ? [] : Array.isArray(x) ? x : [x]);
  const models = list(vox.xyzi);
  if (models.length !== list(vox.size).length) fail(file, "SIZE and XYZI chunks do not pair up");
  if (models.length < Number(minimumModels)) fail(file, `${models.length} models, expected at least ${minimumModels}`);
  let voxels = 0;
  for (const m of models) {
    if (m.values.length !== m.numVoxels) fail(file, "an XYZI chunk holds another number of voxels than it claims");
    voxels += m.numVoxels;
  }
  if (voxels !== Number(expected)) fail(file, `vox-reader counts ${voxels} voxels, vxltool ${expected}`);
  const shapes = list(vox.nshp).length;
  console.log(`${file}: vox-reader reads ${models.length} models, ${shapes} shape nodes, ${voxels} voxels, as expected`);
}

const files = process.argv.slice(2);
if (files.length === 0) fail("usage", "node check-exports.mjs FILE.glb | FILE.vox:VOXELS[:MODELS] ...");
for (const f of files) {
  if (f.endsWith(".glb")) await checkGlb(f);
  else checkVox(f);
}
