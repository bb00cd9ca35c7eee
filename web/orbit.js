// The 3D view's camera as plain numbers: it circles a target point at a distance,
// turned by yaw about the vertical and raised by pitch above the ground plane.
// Mouse, touch and keyboard all change it through the functions here, so the page
// script only translates events, and tests reach every rule without a browser.
//
// World coordinates are three.js's (y up); the map spans x and z from 0 to 512.

export const MAP_EXTENT = 512;
export const PITCH_MIN = (8 * Math.PI) / 180;   // keep above the horizon: the map has no sky below
export const PITCH_MAX = (89 * Math.PI) / 180;  // just short of straight down, where yaw would flip
export const DISTANCE_MIN = 8;
export const DISTANCE_MAX = 3000;
const MARGIN = 128;                             // the target may leave the map by this much

const clamp = (v, lo, hi) => Math.min(hi, Math.max(lo, v));

/// The first view: the whole map, seen from above its (511, 511) corner like the
/// iso picture, as close as the box of the map (surface heights scaled by
/// height_scale) fits the view, whose vertical field of view is fov (radians).
export function initial_view(fov, aspect, height_scale = 1, surface = { min: 0, max: 64 }) {
  const low = surface.min * height_scale, high = surface.max * height_scale;
  const view = {
    target: [MAP_EXTENT / 2, (low + high) / 2, MAP_EXTENT / 2],
    distance: DISTANCE_MAX,
    yaw: Math.PI / 4,
    pitch: (38 * Math.PI) / 180,
  };
  const corners = [];
  for (const x of [0, MAP_EXTENT]) for (const y of [0, high]) for (const z of [0, MAP_EXTENT]) corners.push([x, y, z]);
  // Bisect for the nearest distance at which every corner is in view, with a
  // margin; then, since the near corner looks larger than the far one, slide the
  // target towards the camera until the map sits in the middle, and fit again.
  let fitted = view;
  for (let round = 0; round < 4; ++round) {
    let near = DISTANCE_MIN, far = DISTANCE_MAX;
    for (let i = 0; i < 40; ++i) {
      const mid = (near + far) / 2;
      if (corners.every((c) => in_view({ ...fitted, distance: mid }, fov * 0.94, aspect, c))) far = mid;
      else near = mid;
    }
    fitted = { ...fitted, distance: far };
    const ys = corners.map((c) => screen_of(fitted, c)[1]);
    const offset = (Math.max(...ys) + Math.min(...ys)) / 2;  // tangent units, up positive
    fitted = pan(fitted, 0, offset / Math.sin(fitted.pitch));
  }
  return fitted;
}

/// Where p appears in the view, in units of the tangent of the angle from the
/// view's centre: [right, up].
export function screen_of(view, p) {
  const eye = camera_position(view);
  const f = normalise(view.target.map((t, i) => t - eye[i]));
  const right = normalise([-f[2], 0, f[0]]);  // forward x up
  const up = [right[1] * f[2] - right[2] * f[1], right[2] * f[0] - right[0] * f[2], right[0] * f[1] - right[1] * f[0]];
  const d = p.map((v, i) => v - eye[i]);
  const depth = dot(d, f);
  return [dot(d, right) / depth, dot(d, up) / depth, depth];
}

/// Is point p inside the view's field (vertical fov, radians, at the given aspect)?
export function in_view(view, fov, aspect, p) {
  const [x, y, depth] = screen_of(view, p);
  const t = Math.tan(fov / 2);
  return depth > 0 && Math.abs(x) <= t * aspect && Math.abs(y) <= t;
}

const dot = (a, b) => a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
const normalise = (a) => {
  const n = Math.hypot(a[0], a[1], a[2]);
  return [a[0] / n, a[1] / n, a[2] / n];
};

/// where the camera stands
export function camera_position(view) {
  const c = Math.cos(view.pitch);
  return [
    view.target[0] + view.distance * c * Math.sin(view.yaw),
    view.target[1] + view.distance * Math.sin(view.pitch),
    view.target[2] + view.distance * c * Math.cos(view.yaw),
  ];
}

/// turns the camera about the target by dyaw and raises it by dpitch (radians)
export function orbit(view, dyaw, dpitch) {
  return { ...view, yaw: view.yaw + dyaw, pitch: clamp(view.pitch + dpitch, PITCH_MIN, PITCH_MAX) };
}

/// moves closer (factor < 1) or away (factor > 1)
export function zoom(view, factor) {
  return { ...view, distance: clamp(view.distance * factor, DISTANCE_MIN, DISTANCE_MAX) };
}

/// Slides the target over the ground by right and forward, in units of the view's
/// distance (a drag across the whole view moves about as far as the camera is
/// away): right along the screen's horizontal, forward away from the camera. The
/// target keeps its height, and stays over the map or near it.
export function pan(view, right, forward) {
  const s = Math.sin(view.yaw), c = Math.cos(view.yaw);
  // The camera looks along (-sin yaw, -cos yaw) on the ground; its right is (cos yaw, -sin yaw).
  const dx = (right * c - forward * s) * view.distance;
  const dz = (-right * s - forward * c) * view.distance;
  return {
    ...view,
    target: [
      clamp(view.target[0] + dx, -MARGIN, MAP_EXTENT + MARGIN),
      view.target[1],
      clamp(view.target[2] + dz, -MARGIN, MAP_EXTENT + MARGIN),
    ],
  };
}

const TURN = (6 * Math.PI) / 180;
const PAN_STEP = 0.06;
const ZOOM_STEP = 1.15;

/// What a key does to the view: the new view, "reset" for the first view, or null
/// for keys the view leaves to the page. Arrows turn and tilt (with Shift they pan),
/// W A S D pan, + and - (and Page Up / Page Down) zoom, Home or 0 resets.
export function key_action(view, key, shift = false) {
  switch (key) {
    case "ArrowLeft": return shift ? pan(view, -PAN_STEP, 0) : orbit(view, -TURN, 0);
    case "ArrowRight": return shift ? pan(view, PAN_STEP, 0) : orbit(view, TURN, 0);
    case "ArrowUp": return shift ? pan(view, 0, PAN_STEP) : orbit(view, 0, TURN);
    case "ArrowDown": return shift ? pan(view, 0, -PAN_STEP) : orbit(view, 0, -TURN);
    case "a": case "A": return pan(view, -PAN_STEP, 0);
    case "d": case "D": return pan(view, PAN_STEP, 0);
    case "w": case "W": return pan(view, 0, PAN_STEP);
    case "s": case "S": return pan(view, 0, -PAN_STEP);
    case "+": case "=": case "PageUp": return zoom(view, 1 / ZOOM_STEP);
    case "-": case "_": case "PageDown": return zoom(view, ZOOM_STEP);
    case "Home": case "0": return "reset";
    default: return null;
  }
}

/// Pointer gestures over a view of the given pixel height: a drag by (dx, dy)
/// pixels orbits (a drag across the full height turns half a circle), or pans with
/// the right button, Shift or two fingers; wheel steps and pinches zoom.
export function drag(view, dx, dy, height, panning) {
  if (panning) return pan(view, -dx / height, dy / height);
  return orbit(view, (-dx / height) * Math.PI, (dy / height) * Math.PI);
}

export function wheel(view, delta_y) {
  return zoom(view, Math.exp(clamp(delta_y, -500, 500) * 0.0015));
}

/// two fingers that were before pixels apart and are now now pixels apart
export function pinch(view, before, now) {
  return before > 0 && now > 0 ? zoom(view, before / now) : view;
}

/// near and far planes that hold the map at this distance without wasting depth precision
export function clip_planes(view) {
  const reach = Math.hypot(MAP_EXTENT, MAP_EXTENT) + MARGIN * 2;
  return { near: Math.max(0.5, view.distance / 200), far: view.distance + reach };
}
