// The map page and the gallery in a real browser: Debian's Chromium, headless,
// with WebGL through SwiftShader, opening the files vxltool wrote straight from
// disk. Run by .ci/steps/50-browser.sh:
//   VXLTOOL=build/vxltool MAPGEN=build/mapgen node --test web/test-browser/
// Every page must draw its map with no console error and without fetching
// anything; different maps must look different; mouse, touch and keys must move
// the view; the download must be the map file; the gallery's links must hold.

import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import { chromium } from "playwright-core";

import { cave_map } from "./maps.js";

const VXLTOOL = resolve(process.env.VXLTOOL ?? "build/vxltool");
const MAPGEN = resolve(process.env.MAPGEN ?? "build/mapgen");
const CHROMIUM = process.env.CHROMIUM ?? "/usr/bin/chromium";
const FIRST_FRAME_TIMEOUT = 90_000;  // a loaded 2-core CI machine is slow; the figure itself is reported

// WebGL through SwiftShader, and none of the background traffic a closed network refuses.
const ARGS = [
  "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--ignore-gpu-blocklist",
  "--disable-background-networking", "--disable-component-update", "--disable-sync", "--no-first-run",
  "--disable-quic", "--disable-default-apps", "--metrics-recording-only", "--no-default-browser-check",
];
if (process.getuid?.() === 0) ARGS.push("--no-sandbox");

let work, browser, maps, analysis;

before(async () => {
  work = mkdtempSync(join(tmpdir(), "mapgen-browser-"));
  maps = {
    seed1: join(work, "seed1.vxl"),
    seed2: join(work, "seed2.vxl"),
    caves: join(work, "caves.vxl"),
  };
  execFileSync(MAPGEN, ["-s", "1", "-o", maps.seed1], { stdio: "ignore" });
  execFileSync(MAPGEN, ["-d", "-s", "2", "-o", maps.seed2], { stdio: "ignore" });
  writeFileSync(maps.caves, cave_map());
  for (const [name, path] of Object.entries(maps))
    execFileSync(VXLTOOL, ["page", path, "-o", join(work, `${name}.html`)], { stdio: "ignore" });
  execFileSync(VXLTOOL, ["gallery", ...Object.values(maps), "-o", join(work, "site")], { stdio: "ignore" });
  browser = await chromium.launch({ executablePath: CHROMIUM, args: ARGS });
  analysis = await browser.newPage();
});

after(async () => {
  await browser?.close();
  if (work) rmSync(work, { recursive: true, force: true });
});

/// Opens a file from disk in a fresh page, failing the test on any console
/// error, uncaught exception or request for anything but the file itself and
/// data: or blob: URLs. Returns the page and a function that tells the problems.
async function open(path, options = {}) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 860 }, acceptDownloads: true, ...options });
  const page = await context.newPage();
  const problems = [];
  page.on("console", (m) => {
    if (m.type() === "error" || m.type() === "warning") problems.push(`console ${m.type()}: ${m.text()}`);
  });
  page.on("pageerror", (e) => problems.push(`uncaught: ${e.message}`));
  page.on("request", (r) => {
    if (!/^(data|blob):/.test(r.url()) && !r.url().startsWith("file://")) problems.push(`fetched ${r.url()}`);
  });
  page.on("requestfailed", (r) => problems.push(`failed: ${r.url()}`));
  await page.goto(pathToFileURL(path).href);
  return { page, context, problems };
}

/// waits for the 3D view's first frame; returns the page's timings
async function first_frame(page) {
  await page.waitForFunction(() => document.body.dataset.firstFrameMs || document.querySelector(".status.error"), null,
    { timeout: FIRST_FRAME_TIMEOUT });
  const timings = await page.evaluate(() => ({ ...document.body.dataset, status: document.getElementById("status").textContent }));
  assert.equal(timings.status, "", "no message over the view");
  return timings;
}

/// what a picture holds, worked out by the browser's own PNG decoder
async function picture_stats(png, other = null) {
  return analysis.evaluate(async ([a, b]) => {
    const pixels = async (base64) => {
      const image = new Image();
      image.src = `data:image/png;base64,${base64}`;
      await image.decode();
      const canvas = new OffscreenCanvas(image.width, image.height);
      const g = canvas.getContext("2d");
      g.drawImage(image, 0, 0);
      return g.getImageData(0, 0, image.width, image.height);
    };
    const p = await pixels(a);
    const d = p.data;
    let sum = 0, sum2 = 0;
    const colours = new Set();
    for (let i = 0; i < d.length; i += 4) {
      const y = 0.299 * d[i] + 0.587 * d[i + 1] + 0.114 * d[i + 2];
      sum += y, sum2 += y * y;
      colours.add((d[i] << 16) | (d[i + 1] << 8) | d[i + 2]);
    }
    const n = d.length / 4;
    const result = { width: p.width, height: p.height, deviation: Math.sqrt(sum2 / n - (sum / n) ** 2), colours: colours.size };
    if (b) {
      const q = (await pixels(b)).data;
      let differing = 0;
      for (let i = 0; i < d.length; i += 4)
        if (Math.abs(d[i] - q[i]) + Math.abs(d[i + 1] - q[i + 1]) + Math.abs(d[i + 2] - q[i + 2]) > 48) ++differing;
      result.differing = differing / n;
    }
    return result;
  }, [png.toString("base64"), other?.toString("base64") ?? null]);
}

const view_shot = (page) => page.locator("#view").screenshot();

const shots = {};

test("every page draws its map from disk with no console error and nothing fetched", async () => {
  for (const name of Object.keys(maps)) {
    const { page, context, problems } = await open(join(work, `${name}.html`));
    const timings = await first_frame(page);
    shots[name] = await view_shot(page);
    const stats = await picture_stats(shots[name]);
    assert.ok(stats.deviation > 12 && stats.colours > 200, `${name}: a blank or near-uniform picture: ${JSON.stringify(stats)}`);
    const size = readFileSync(join(work, `${name}.html`)).length;
    console.log(`${name}: page ${(size / 1e6).toFixed(2)} MB, first frame at ${timings.firstFrameMs} ms ` +
      `(script ${timings.scriptMs}, map unpacked ${timings.unpackMs}, decoded ${timings.decodeMs}, ` +
      `mesh of ${timings.quads} quads ${timings.meshMs})`);
    assert.deepEqual(problems, [], name);
    await context.close();
  }
});

test("different maps give different pictures", () => {
  const names = Object.keys(shots);
  assert.equal(names.length, 3, "the pages were drawn");
  return (async () => {
    for (let i = 0; i < names.length; ++i)
      for (let j = i + 1; j < names.length; ++j) {
        const { differing } = await picture_stats(shots[names[i]], shots[names[j]]);
        assert.ok(differing > 0.05, `${names[i]} and ${names[j]} look alike: ${(differing * 100).toFixed(1)}% of pixels differ`);
      }
  })();
});

test("mouse, wheel, touch and keys move the view, and the view takes the keyboard focus", async () => {
  const { page, context, problems } = await open(join(work, "caves.html"), { hasTouch: true });
  await first_frame(page);
  const canvas = page.locator("#view");
  const box = await canvas.boundingBox();
  const cx = box.x + box.width / 2, cy = box.y + box.height / 2;
  const frames = () => page.evaluate(() => Number(document.body.dataset.frames));

  // Each action must draw a new frame that differs from the one before.
  const client = await context.newCDPSession(page);
  const touch = (type, points) => client.send("Input.dispatchTouchEvent", {
    type, touchPoints: points.map(([x, y], id) => ({ x, y, id })),
  });
  const actions = {
    "mouse drag turns": async () => {
      await page.mouse.move(cx, cy);
      await page.mouse.down();
      await page.mouse.move(cx + 120, cy + 30, { steps: 4 });
      await page.mouse.up();
    },
    "right-drag pans": async () => {
      await page.mouse.move(cx, cy);
      await page.mouse.down({ button: "right" });
      await page.mouse.move(cx - 80, cy + 40, { steps: 4 });
      await page.mouse.up({ button: "right" });
    },
    "wheel zooms": () => page.mouse.wheel(0, -400).then(() => page.mouse.move(cx, cy)),
    "two fingers pinch": async () => {
      await touch("touchStart", [[cx - 40, cy], [cx + 40, cy]]);
      await touch("touchMove", [[cx - 90, cy], [cx + 90, cy]]);
      await touch("touchMove", [[cx - 140, cy + 10], [cx + 140, cy + 10]]);
      await touch("touchEnd", []);
    },
    "one finger turns": async () => {
      await touch("touchStart", [[cx, cy]]);
      await touch("touchMove", [[cx + 60, cy]]);
      await touch("touchMove", [[cx + 120, cy - 20]]);
      await touch("touchEnd", []);
    },
    "arrow keys turn": () => page.keyboard.press("ArrowRight").then(() => page.keyboard.press("ArrowUp")),
    "W A S D pan": () => page.keyboard.press("w").then(() => page.keyboard.press("a")),
    "+ zooms": () => page.keyboard.press("+"),
    "Home resets": () => page.keyboard.press("Home"),
  };
  let before_shot = await view_shot(page);
  for (const [what, act] of Object.entries(actions)) {
    const before_frames = await frames();
    await act();
    await page.waitForFunction((n) => Number(document.body.dataset.frames) > n, before_frames, { timeout: 20_000 });
    await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
    const shot = await view_shot(page);
    const { differing } = await picture_stats(shot, before_shot);
    assert.ok(differing > 0.01, `${what}: the picture did not change (${(differing * 100).toFixed(2)}%)`);
    before_shot = shot;
  }

  // The keyboard reaches the view, which shows that it has the focus.
  await page.evaluate(() => document.activeElement.blur());
  let focused = null;
  for (let i = 0; i < 10 && focused !== "view"; ++i) {
    await page.keyboard.press("Tab");
    focused = await page.evaluate(() => document.activeElement.id);
  }
  assert.equal(focused, "view", "Tab reaches the 3D view");
  const outline = await canvas.evaluate((c) => getComputedStyle(c).outlineStyle);
  assert.notEqual(outline, "none", "focus is visible");
  const description = await page.evaluate(() =>
    document.getElementById("view").getAttribute("aria-describedby").split(" ").map((id) => document.getElementById(id).textContent).join(" "));
  assert.match(description, /512 by 512 columns.*surface heights from 16 to 55/);
  assert.deepEqual(problems, []);
  await context.close();
});

test("the download link gives the map file, byte for byte", async () => {
  const { page, context, problems } = await open(join(work, "seed2.html"));
  await page.waitForSelector("#download:not([aria-disabled])");
  const [download] = await Promise.all([page.waitForEvent("download"), page.click("#download")]);
  assert.equal(download.suggestedFilename(), "seed2.vxl");
  const saved = readFileSync(await download.path());
  assert.ok(saved.equals(readFileSync(maps.seed2)), "the same bytes as the map");
  assert.deepEqual(problems, []);
  await context.close();
});

test("without WebGL the page says so and still shows the top view and figures", async () => {
  const context = await browser.newContext();
  await context.addInitScript(() => {
    const plain = HTMLCanvasElement.prototype.getContext;
    HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
      return /webgl/.test(kind) ? null : plain.call(this, kind, ...rest);
    };
  });
  const page = await context.newPage();
  const uncaught = [];
  page.on("pageerror", (e) => uncaught.push(e.message));
  await page.goto(pathToFileURL(join(work, "seed1.html")).href);
  await page.waitForSelector(".status.error");
  assert.match(await page.textContent("#status"), /cannot show the 3D view/);
  assert.ok(await page.evaluate(() => document.querySelector("aside img").naturalWidth === 512));
  assert.ok(await page.evaluate(() => !document.getElementById("download").hasAttribute("aria-disabled")));
  assert.deepEqual(uncaught, []);
  await context.close();
});

test("the gallery's links and images all exist, and its filter, order and pages work", async () => {
  const site = join(work, "site");
  const { page, context, problems } = await open(join(site, "index.html"));
  const refs = await page.evaluate(() => [...document.querySelectorAll("a[href], img[src]")].map((e) => e.href || e.src));
  assert.ok(refs.length >= 3 * 4, `${refs.length} links and images`);
  for (const ref of refs) {
    assert.ok(ref.startsWith("file://"), `a local link: ${ref}`);
    assert.ok(existsSync(fileURLToPath(ref)), `${ref} exists`);
  }
  // Every thumbnail loads and is a picture.
  await page.evaluate(() => Promise.all([...document.images].map((i) => { i.loading = "eager"; return i.decode(); })));
  assert.ok(await page.evaluate(() => [...document.images].every((i) => i.naturalWidth === 256)));

  const shown = () => page.$$eval(".card", (cards) => cards.filter((c) => !c.hidden).map((c) => c.dataset.name));
  await page.fill("#filter", "SEED");
  assert.deepEqual(await shown(), ["seed1", "seed2"]);
  assert.equal(await page.textContent("#count"), "2 of 3 maps");
  await page.fill("#filter", "nothing like it");
  assert.deepEqual(await shown(), []);
  assert.ok(await page.isVisible("#none"));
  await page.fill("#filter", "");
  await page.selectOption("#sort", "-name");
  assert.deepEqual(await shown(), ["seed2", "seed1", "caves"]);
  await page.selectOption("#sort", "-high");
  assert.equal((await shown())[0], "caves", "the cave map stands highest");

  // A map's page from the gallery draws, and links back.
  await page.click("text=seed1 >> nth=0");
  await first_frame(page);
  assert.match(page.url(), /pages\/seed1\.html$/);
  const gallery_shot = await view_shot(page);
  const { differing } = await picture_stats(gallery_shot, shots.seed1);
  assert.ok(differing < 0.02, `the gallery's page of seed1 looks like its own page (${(differing * 100).toFixed(1)}% differ)`);
  await page.click("a.back");
  assert.match(page.url(), /site\/index\.html$/);
  assert.deepEqual(problems, []);
  await context.close();
});
