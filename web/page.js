// The map page's script: unpacks the map embedded in the page, builds its
// surface (map_mesh.js), hands it to three.js and lets mouse, touch and keyboard
// steer the camera (orbit.js). It draws only when something changed. Nothing is
// fetched: the map, the pictures and the libraries are all inside the page.

import * as THREE from "three";
import { decode_vxl } from "#map_data";
import { build_mesh, MeshTooLarge } from "#map_mesh";
import * as orbit from "#orbit";

const FOV_DEGREES = 45;
const SKY = 0x1c2430;

const $ = (id) => document.getElementById(id);
const canvas = $("view");
const status = $("status");
const info = JSON.parse($("map-info").textContent);
const timings = document.body.dataset;
timings.scriptMs = String(Math.round(performance.now()));

function say(text, is_error = false) {
  status.textContent = text;
  status.classList.toggle("error", is_error);
}

/// the map file's bytes, exactly as they were given to vxltool
async function unpack_map() {
  const text = $("map-data").textContent.replace(/\s+/g, "");
  let packed;
  if (Uint8Array.fromBase64) {
    packed = Uint8Array.fromBase64(text);
  } else {
    const raw = atob(text);
    packed = new Uint8Array(raw.length);
    for (let i = 0; i < raw.length; ++i) packed[i] = raw.charCodeAt(i);
  }
  const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream("deflate"));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

function offer_download(bytes) {
  const link = $("download");
  link.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  link.removeAttribute("aria-disabled");
}

/// three.js meshes for the chunks of the surface, sharing one material
function surface_meshes(mesh) {
  const material = new THREE.MeshBasicMaterial({ vertexColors: true });
  // Full chunks share one index array; one attribute for it is uploaded once.
  const index_attributes = new Map();
  const index_of = (indices) => {
    if (!index_attributes.has(indices)) index_attributes.set(indices, new THREE.BufferAttribute(indices, 1));
    return index_attributes.get(indices);
  };
  return mesh.chunks.map((chunk) => {
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute("position", new THREE.BufferAttribute(chunk.positions, 3));
    geometry.setAttribute("color", new THREE.BufferAttribute(chunk.colors, 3, true));
    geometry.setIndex(index_of(chunk.indices));
    return new THREE.Mesh(geometry, material);
  });
}

function start_view(map_mesh) {
  // Map colours are shown as the file gives them, without colour-space conversion.
  THREE.ColorManagement.enabled = false;
  const renderer = new THREE.WebGLRenderer({ canvas, antialias: true });
  renderer.outputColorSpace = THREE.LinearSRGBColorSpace;
  renderer.setPixelRatio(Math.min(window.devicePixelRatio || 1, 2));
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(SKY);
  const camera = new THREE.PerspectiveCamera(FOV_DEGREES, 1, 1, 4000);
  const meshes = surface_meshes(map_mesh);
  for (const m of meshes) scene.add(m);

  let height_scale = Number($("height-scale").value);
  const surface = { min: Math.max(0, info.surface_min), max: Math.max(1, info.surface_max + 1) };
  const first_view = () => orbit.initial_view((FOV_DEGREES * Math.PI) / 180, camera.aspect, height_scale, surface);
  let view = null;
  let frame_pending = false;
  let frames = 0;

  const draw = () => {
    frame_pending = false;
    const p = orbit.camera_position(view);
    const planes = orbit.clip_planes(view);
    camera.near = planes.near;
    camera.far = planes.far;
    camera.position.set(p[0], p[1], p[2]);
    camera.lookAt(view.target[0], view.target[1], view.target[2]);
    camera.updateProjectionMatrix();
    for (const m of meshes) m.scale.y = height_scale;
    renderer.render(scene, camera);
    if (frames++ === 0) {
      requestAnimationFrame(() => {
        timings.firstFrameMs = String(Math.round(performance.now()));
        say("");
      });
    }
    timings.frames = String(frames);
  };
  const redraw = () => {
    if (!frame_pending) {
      frame_pending = true;
      requestAnimationFrame(draw);
    }
  };
  const set_view = (next) => {
    view = next;
    redraw();
  };

  const fit = () => {
    const box = canvas.getBoundingClientRect();
    const width = Math.max(1, Math.round(box.width)), height = Math.max(1, Math.round(box.height));
    renderer.setSize(width, height, false);
    camera.aspect = width / height;
    if (view === null) view = first_view();
    redraw();
  };
  new ResizeObserver(fit).observe(canvas);
  fit();

  // ---- pointer: one finger or button turns (or pans), two fingers pan and pinch
  const pointers = new Map();
  const spread = () => {
    const [a, b] = [...pointers.values()];
    return Math.hypot(a.x - b.x, a.y - b.y);
  };
  const centre = () => {
    const all = [...pointers.values()];
    return { x: all.reduce((s, p) => s + p.x, 0) / all.length, y: all.reduce((s, p) => s + p.y, 0) / all.length };
  };
  canvas.addEventListener("pointerdown", (e) => {
    canvas.setPointerCapture(e.pointerId);
    pointers.set(e.pointerId, { x: e.clientX, y: e.clientY, pan: e.button === 2 || e.button === 1 || e.shiftKey });
    canvas.focus({ preventScroll: true });
    e.preventDefault();
  });
  canvas.addEventListener("pointermove", (e) => {
    const p = pointers.get(e.pointerId);
    if (!p) return;
    const height = canvas.clientHeight || 1;
    if (pointers.size === 1) {
      const next = orbit.drag(view, e.clientX - p.x, e.clientY - p.y, height, p.pan || e.shiftKey);
      p.x = e.clientX, p.y = e.clientY;
      set_view(next);
      return;
    }
    const before_spread = spread(), before_centre = centre();
    p.x = e.clientX, p.y = e.clientY;
    const after_centre = centre();
    let next = orbit.pinch(view, before_spread, spread());
    next = orbit.drag(next, after_centre.x - before_centre.x, after_centre.y - before_centre.y, height, true);
    set_view(next);
  });
  const release = (e) => pointers.delete(e.pointerId);
  canvas.addEventListener("pointerup", release);
  canvas.addEventListener("pointercancel", release);
  canvas.addEventListener("contextmenu", (e) => e.preventDefault());
  canvas.addEventListener("wheel", (e) => {
    e.preventDefault();
    set_view(orbit.wheel(view, e.deltaY * (e.deltaMode === 1 ? 16 : e.deltaMode === 2 ? 400 : 1)));
  }, { passive: false });
  canvas.addEventListener("dblclick", () => set_view(first_view()));

  // ---- keyboard, while the view has focus
  canvas.addEventListener("keydown", (e) => {
    if (e.altKey || e.ctrlKey || e.metaKey) return;
    const next = orbit.key_action(view, e.key, e.shiftKey);
    if (next === null) return;
    e.preventDefault();
    set_view(next === "reset" ? first_view() : next);
  });

  // ---- tools
  $("reset").addEventListener("click", () => set_view(first_view()));
  $("height-scale").addEventListener("change", (e) => {
    const scale = Number(e.target.value);
    view = { ...view, target: [view.target[0], (view.target[1] * scale) / height_scale, view.target[2]] };
    height_scale = scale;
    redraw();
  });
  const viewer = canvas.closest(".viewer");
  const fullscreen = $("fullscreen");
  if (!viewer.requestFullscreen) fullscreen.hidden = true;
  fullscreen.addEventListener("click", () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else viewer.requestFullscreen().then(() => canvas.focus());
  });
  document.addEventListener("fullscreenchange", () => {
    fullscreen.textContent = document.fullscreenElement ? "Leave full screen" : "Full screen";
  });
}

async function main() {
  $("three-revision").textContent = ` r${THREE.REVISION}`;
  let bytes;
  try {
    bytes = await unpack_map();
  } catch (e) {
    say(`The map inside this page is damaged: ${e.message}`, true);
    return;
  }
  offer_download(bytes);
  timings.unpackMs = String(Math.round(performance.now()));
  let mesh;
  try {
    const map = decode_vxl(bytes);
    timings.decodeMs = String(Math.round(performance.now()));
    mesh = build_mesh(map);
    timings.meshMs = String(Math.round(performance.now()));
    timings.quads = String(mesh.quads);
  } catch (e) {
    if (e instanceof MeshTooLarge) say(`This map is too detailed for the 3D view (${e.message}); the top view shows it.`, true);
    else say(`The map inside this page cannot be read: ${e.message}`, true);
    return;
  }
  try {
    start_view(mesh);
  } catch (e) {
    say("This browser cannot show the 3D view (no WebGL); the top view and the figures show the map.", true);
    canvas.removeAttribute("tabindex");
  }
}

main();
