import { test } from "node:test";
import assert from "node:assert/strict";

import * as orbit from "../orbit.js";

const FOV = (45 * Math.PI) / 180;
const near = (a, b, what) => assert.ok(Math.abs(a - b) < 1e-9, `${what}: ${a} is not ${b}`);

function map_corners(top) {
  const corners = [];
  for (const x of [0, 512]) for (const y of [0, top]) for (const z of [0, 512]) corners.push([x, y, z]);
  return corners;
}

test("the first view shows the whole map, and not from much further than it needs", () => {
  for (const aspect of [0.5, 1, 16 / 9, 3])
    for (const scale of [1, 2, 4]) {
      const view = orbit.initial_view(FOV, aspect, scale, { min: 3, max: 40 });
      const corners = map_corners(40 * scale);
      assert.ok(corners.every((c) => orbit.in_view(view, FOV, aspect, c)), `aspect ${aspect} scale ${scale}`);
      const closer = { ...view, distance: view.distance * 0.9 };
      assert.ok(!corners.every((c) => orbit.in_view(closer, FOV, aspect, c)), `a tenth closer still fits: ${aspect}`);
      const eye = orbit.camera_position(view);
      assert.ok(eye[0] > 512 && eye[2] > 512 && eye[1] > 40 * scale, "from above the (511, 511) corner");
    }
});

test("the camera stands at its distance from the target, at its yaw and pitch", () => {
  const view = { target: [100, 10, 200], distance: 50, yaw: 0, pitch: 0 };
  assert.deepEqual(orbit.camera_position(view).map((v) => Math.round(v * 1e9) / 1e9), [100, 10, 250]);
  const high = orbit.camera_position({ ...view, yaw: 1.1, pitch: 0.7 });
  near(Math.hypot(high[0] - 100, high[1] - 10, high[2] - 200), 50, "distance");
  near(Math.asin((high[1] - 10) / 50), 0.7, "pitch");
});

test("turning, tilting and zooming stay within their limits", () => {
  const view = orbit.initial_view(FOV, 1.5);
  const cases = [
    { what: "tilt past straight down", next: orbit.orbit(view, 0, 10), pitch: orbit.PITCH_MAX },
    { what: "tilt under the horizon", next: orbit.orbit(view, 0, -10), pitch: orbit.PITCH_MIN },
    { what: "zoom right in", next: orbit.zoom(view, 1e-6), distance: orbit.DISTANCE_MIN },
    { what: "zoom far out", next: orbit.zoom(view, 1e6), distance: orbit.DISTANCE_MAX },
    { what: "pinching apart comes closer", next: orbit.pinch(view, 100, 200), distance: view.distance / 2 },
    { what: "a pinch with no spread does nothing", next: orbit.pinch(view, 0, 200), distance: view.distance },
  ];
  for (const c of cases) {
    if ("pitch" in c) near(c.next.pitch, c.pitch, c.what);
    if ("distance" in c) near(c.next.distance, c.distance, c.what);
  }
  assert.ok(orbit.wheel(view, 120).distance > view.distance, "wheel down moves away");
  assert.ok(orbit.wheel(view, -120).distance < view.distance, "wheel up comes closer");
  near(orbit.orbit(view, 0.3, 0).yaw, view.yaw + 0.3, "yaw turns freely");
});

test("panning slides the target over the ground along the screen's axes", () => {
  const view = { target: [256, 20, 256], distance: 400, yaw: 0.6, pitch: 0.5 };
  const eye = orbit.camera_position(view);
  const right = [Math.cos(view.yaw), 0, -Math.sin(view.yaw)];
  const away = [-Math.sin(view.yaw), 0, -Math.cos(view.yaw)];
  for (const [r, f] of [[0.1, 0], [0, 0.1], [-0.05, 0.02]]) {
    const moved = orbit.pan(view, r, f);
    const d = moved.target.map((t, i) => t - view.target[i]);
    near(d[1], 0, "height kept");
    near(d[0] * right[0] + d[2] * right[2], r * view.distance, "along the screen's right");
    near(d[0] * away[0] + d[2] * away[2], f * view.distance, "away from the camera");
  }
  assert.ok(eye[1] > 0);
  const lost = orbit.pan(view, 100, 100);
  assert.ok(lost.target.every((t, i) => i === 1 || (t >= -128 && t <= 640)), "stays near the map");
});

test("keys turn, tilt, pan, zoom and reset; others are left to the page", () => {
  const view = { target: [256, 20, 256], distance: 400, yaw: 0.6, pitch: 0.5 };
  const cases = [
    ["ArrowLeft", false, (v) => v.yaw < view.yaw],
    ["ArrowRight", false, (v) => v.yaw > view.yaw],
    ["ArrowUp", false, (v) => v.pitch > view.pitch],
    ["ArrowDown", false, (v) => v.pitch < view.pitch],
    ["ArrowLeft", true, (v) => v.yaw === view.yaw && v.target[0] !== view.target[0]],
    ["w", false, (v) => v.target[2] !== view.target[2] && v.distance === view.distance],
    ["D", false, (v) => v.target[0] !== view.target[0]],
    ["+", false, (v) => v.distance < view.distance],
    ["PageDown", false, (v) => v.distance > view.distance],
    ["-", false, (v) => v.distance > view.distance],
  ];
  for (const [key, shift, holds] of cases) assert.ok(holds(orbit.key_action(view, key, shift)), `${key} shift ${shift}`);
  assert.equal(orbit.key_action(view, "Home"), "reset");
  assert.equal(orbit.key_action(view, "0"), "reset");
  for (const key of ["Tab", "Enter", " ", "x", "F5"]) assert.equal(orbit.key_action(view, key), null, key);
});

test("a drag across the view's height turns half a circle; with panning it moves the target", () => {
  const view = { target: [256, 20, 256], distance: 400, yaw: 0.6, pitch: 0.5 };
  near(orbit.drag(view, 300, 0, 300, false).yaw, view.yaw - Math.PI, "drag right");
  near(orbit.drag(view, 0, 30, 300, false).pitch, view.pitch + Math.PI / 10, "drag down raises the camera");
  const panned = orbit.drag(view, 30, 0, 300, true);
  assert.equal(panned.yaw, view.yaw);
  assert.notDeepEqual(panned.target, view.target);
});

test("the clip planes hold the whole map at any distance", () => {
  for (const distance of [orbit.DISTANCE_MIN, 100, 700, orbit.DISTANCE_MAX]) {
    const view = { target: [256, 20, 256], distance, yaw: 2.2, pitch: 0.3 };
    const eye = orbit.camera_position(view);
    const { near: n, far } = orbit.clip_planes(view);
    assert.ok(n > 0 && n < distance);
    for (const c of map_corners(64)) assert.ok(Math.hypot(...c.map((v, i) => v - eye[i])) < far, `corner at ${distance}`);
  }
});
