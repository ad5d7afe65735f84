// The web page in a real browser: Debian's chromium, headless, driven by puppeteer-core, the
// page served from 127.0.0.1. Plays the menu, the hall of fame and a race with keys, compares
// the canvas with the headless runner's pictures in 5-6-5, and prints what the page measured.
//
//   node tests/web/browser-test.mjs [PAGE_DIR]     (default: build-web)
//
// Needs build/game (the headless runner and the data files) and tools/compare565.py.
import {execFileSync, spawn} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import zlib from 'node:zlib';

import puppeteer from 'puppeteer-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const pageDir = path.resolve(process.argv[2] || path.join(root, 'build-web'));
const gameDir = path.join(root, 'build/game');
const out = path.join(root, 'build-web/cmake/browser-test');
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
fs.mkdirSync(out, {recursive: true});

const started = Date.now();
const at = () => `(${((Date.now() - started) / 1000).toFixed(1)} s)`;
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
  return ok;
}

// ---------------------------------------------------------------------------------------
// The headless runner's pictures of the same screens.

function headless(args, script) {
  const runner = path.join(gameDir, 'asphaltix-headless');
  const full = ['--dir', gameDir, ...args];
  if (script) {
    const file = path.join(out, `script-${Math.random().toString(36).slice(2)}.txt`);
    fs.writeFileSync(file, script);
    full.push('--script', file);
  }
  execFileSync(runner, full, {stdio: 'ignore'});
}
const ref = name => path.join(out, `${name}-headless.png`);
headless(['--frames', '130', '--shot', `120:${ref('menu')}`]);
headless(['--frames', '200', '--shot', `190:${ref('fame')}`],
         '100 press DOWN\n101 press DOWN\n102 press ENTER\n');
headless(['--frames', '400', '--shot', `390:${ref('race')}`], '100 press ENTER\n');

// ---------------------------------------------------------------------------------------
// The page's size as a web server sends it.

const sizes = {};
for (const name of ['index.html', 'asphaltix.js', 'asphaltix.wasm', 'asphaltix.data']) {
  const bytes = fs.readFileSync(path.join(pageDir, name));
  sizes[name] = {raw: bytes.length, gzip: zlib.gzipSync(bytes, {level: 6}).length};
}
const total = Object.values(sizes).reduce((sum, s) => sum + s.gzip, 0);

// ---------------------------------------------------------------------------------------
// The server and the browser.

const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1',
                                 '--directory', pageDir],
                     {stdio: ['ignore', 'pipe', 'ignore']});
const port = await new Promise((resolve, reject) => {
  let said = '';
  server.stdout.on('data', chunk => {
    said += chunk;
    const m = said.match(/port (\d+)/);
    if (m) resolve(Number(m[1]));
  });
  server.on('exit', () => reject(new Error('the web server did not start')));
});
const url = `http://127.0.0.1:${port}/index.html`;
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'asphaltix-chromium-'));
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--autoplay-policy=user-gesture-required'],
  defaultViewport: {width: 640, height: 480, deviceScaleFactor: 1},
});

async function openPage(beforeScripts) {
  const page = await browser.newPage();
  page.on('pageerror', e => console.log(`page error: ${e.message}`));
  page.on('console', m => { if (m.type() === 'error') console.log(`page: ${m.text()}`); });
  if (beforeScripts) await page.evaluateOnNewDocument(beforeScripts);
  await page.goto(url, {waitUntil: 'load'});
  return page;
}
const stats = page => page.evaluate(() => {
  const s = window.Module && Module.asphaltix;
  return s ? {...s, frameMs: undefined, frameCount: s.frameMs.length} : null;
});
async function waitFor(page, test, seconds, what) {
  const until = Date.now() + seconds * 1000;
  for (;;) {
    const value = await test();
    if (value) return value;
    if (Date.now() > until) throw new Error(`timed out waiting for ${what}`);
    await sleep(100);
  }
}

// The canvas's pixels (RGBA) as the page reads them.
async function canvasPixels(page) {
  const {width, height, data} = await page.evaluate(() => {
    const canvas = document.getElementById('canvas');
    const image = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
    let text = '';
    for (let i = 0; i < image.data.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, image.data.subarray(i, i + 0x8000));
    }
    return {width: canvas.width, height: canvas.height, data: btoa(text)};
  });
  return {width, height, rgba: Buffer.from(data, 'base64')};
}
function writePpm(file, picture) {
  const rgb = Buffer.alloc(picture.width * picture.height * 3);
  for (let i = 0, j = 0; i < picture.rgba.length; i += 4, j += 3) {
    rgb[j] = picture.rgba[i];
    rgb[j + 1] = picture.rgba[i + 1];
    rgb[j + 2] = picture.rgba[i + 2];
  }
  fs.writeFileSync(file, Buffer.concat([Buffer.from(`P6\n${picture.width} ${picture.height}\n255\n`), rgb]));
}
function differing(file, reference, options = []) {
  try {
    return Number(execFileSync(path.join(root, 'tools/compare565.py'), [file, reference, ...options],
                               {encoding: 'utf8'}).trim());
  } catch (e) {
    return Number(String(e.stdout).trim());
  }
}
// Reads the canvas until it shows the reference picture (0 pixels differing in 5-6-5) or the
// time is up; answers the last count.
async function same(page, name, seconds, options = []) {
  const until = Date.now() + seconds * 1000;
  let count = -1;
  const file = path.join(out, `${name}.ppm`);
  for (;;) {
    writePpm(file, await canvasPixels(page));
    count = differing(file, ref(name.replace(/-.*/, '')), options);
    if (count === 0 || Date.now() > until) break;
    await sleep(300);
  }
  execFileSync('convert', [file, path.join(out, `${name}.png`)]);
  console.log(`     ${name}: ${count} pixels differ from ${path.basename(ref(name.replace(/-.*/, '')))} ${at()}`);
  return count;
}

// The panel's numbers in the block font, read with the game's own glyphs (src/display/font.cpp).
const glyphs = {};
for (const m of fs.readFileSync(path.join(root, 'src/display/font.cpp'), 'utf8')
         .matchAll(/\{'(\d)', \{([^}]*)\}\}/g)) {
  glyphs[m[1]] = m[2].split(',').map(v => parseInt(v, 16));
}
function panelNumber(picture, y) {
  let text = '';
  for (let x = 596; x + 8 <= 640; x += 8) {
    const rows = [];
    for (let r = 0; r < 8; r++) {
      let bits = 0;
      for (let c = 0; c < 8; c++) {
        const i = ((y + r) * picture.width + x + c) * 4;
        const [red, green, blue] = [picture.rgba[i], picture.rgba[i + 1], picture.rgba[i + 2]];
        if (red < 32 && green >= 112 && green <= 144 && blue >= 112 && blue <= 144) bits |= 0x80 >> c;
      }
      rows.push(bits);
    }
    if (rows.every(b => b === 0)) break;
    const digit = Object.keys(glyphs).find(d => glyphs[d].every((b, k) => b === rows[k]));
    if (digit === undefined) return NaN;
    text += digit;
  }
  return text === '' ? NaN : Number(text);
}
// Red pixels of the countdown's "ARE YOU READY ?" and its number.
function countdownPixels(picture) {
  let count = 0;
  for (let y = 185; y < 215; y++) {
    for (let x = 200; x < 360; x++) {
      const i = (y * picture.width + x) * 4;
      if (picture.rgba[i] > 200 && picture.rgba[i + 1] < 64 && picture.rgba[i + 2] < 64) count++;
    }
  }
  return count;
}
const median = values => {
  const v = [...values].sort((a, b) => a - b);
  return v.length ? v[Math.floor(v.length / 2)] : NaN;
};

// ---------------------------------------------------------------------------------------
// A whole game: menu, hall of fame, a race, the end.

const panel = ['--region', '480,0,640,480', '--exclude', '596,200,640,238'];
let measured = {};
try {
  console.log(`== the page from ${url} in ${execFileSync(chromium, ['--version'], {encoding: 'utf8'}).trim()} ${at()}`);
  const page = await openPage();
  const first = await waitFor(page, async () => (await stats(page))?.firstFrameMs, 20, 'the first frame');
  measured.firstFrameMs = first;
  measured.firstPictureMs = (await stats(page)).firstPictureMs;
  check(await same(page, 'menu', 20) === 0, 'the main menu after the curtain');
  await page.screenshot({path: path.join(out, 'page-menu.png')});

  await page.keyboard.press('ArrowDown');
  await sleep(300);
  const afterClick = await stats(page);
  measured.audioState = afterClick.audioState;
  await page.keyboard.press('ArrowDown');
  await sleep(300);
  await page.keyboard.press('Enter');
  check(await same(page, 'fame', 15) === 0, 'the hall of fame after Down, Down, Enter');
  const sound = await stats(page);
  measured.peak = sound.peak;
  measured.latencyMs = sound.latencyMs;
  check(sound.peak > 0, `the sound's peak after the menu's click: ${sound.peak.toFixed(3)}` +
                         ` (audio ${sound.audioState})`);
  check(sound.latencyMs !== null && sound.latencyMs <= 50,
        `audio latency ${sound.latencyMs?.toFixed(1)} ms (at most 50)`);

  await page.keyboard.press('Escape');
  await sleep(800);
  await page.keyboard.press('ArrowUp');
  await page.keyboard.press('ArrowUp');
  await page.keyboard.press('Enter');
  const countdown = await waitFor(page, async () => countdownPixels(await canvasPixels(page)) > 40,
                                  10, 'the countdown').catch(() => false);
  check(countdown, `the race's countdown shows ${at()}`);
  if (countdown) writePpm(path.join(out, 'countdown.ppm'), await canvasPixels(page));
  const over = await waitFor(page, async () => countdownPixels(await canvasPixels(page)) === 0,
                             10, 'the end of the countdown').catch(() => false);
  check(over && await same(page, 'race-panel', 10, panel) === 0, `then the race's panel`);

  // Nothing else happens on the page while it is timed.
  const before = panelNumber(await canvasPixels(page), 200);
  const s0 = await stats(page);
  const t0 = await page.evaluate(() => performance.now());
  await page.keyboard.down('ArrowUp');
  await sleep(6000);
  const s1 = await stats(page);
  const t1 = await page.evaluate(() => performance.now());
  const after = panelNumber(await canvasPixels(page), 200);
  check(after > before, `holding Up raises the speed on the panel: ${before} -> ${after}`);
  const frameMs = await page.evaluate((from, to) => Module.asphaltix.frameMs.slice(from, to),
                                      s0.frameCount, s1.frameCount);
  measured.fps = (s1.frames - s0.frames) * 1000 / (t1 - t0);
  measured.seconds = (t1 - t0) / 1000;
  measured.frameMedian = median(frameMs);
  check(Math.abs(measured.fps - 60) <= 2,
        `pacing over ${measured.seconds.toFixed(1)} s of the race: ${measured.fps.toFixed(2)} frames a second`);
  // A wider page: the picture scaled sharply, black bars beside it.
  await page.setViewport({width: 1024, height: 640, deviceScaleFactor: 1});
  await sleep(1000);
  await page.screenshot({path: path.join(out, 'page-race.png')});
  await page.keyboard.up('ArrowUp');
  await page.setViewport({width: 640, height: 480, deviceScaleFactor: 1});

  // Escape asks the quit question once the countdown is over; Y answers it.
  await page.keyboard.press('Escape');
  await sleep(500);
  await page.keyboard.press('KeyY');
  check(await same(page, 'menu-again', 15) === 0, 'the main menu after the race');
  await page.keyboard.press('Escape');
  const ended = await waitFor(page, () => page.evaluate(() =>
      Module.asphaltix.ended !== null && !document.getElementById('end').hidden &&
      document.getElementById('end').innerText), 10, 'the end').catch(() => '');
  check(/has ended/.test(ended) && /Play again/.test(ended),
        `Escape in the menu ends the game; the page says: ${JSON.stringify(ended)}`);
  await page.close();

  // Without Highscore.List the hall of fame stops the game with its message box.
  console.log(`== the page without Highscore.List ${at()}`);
  const missing = await openPage(() => {
    window.Module = {
      preRun: [],
      // After the packed files are in place, before the game starts.
      onRuntimeInitialized() { Module.FS.unlink('/Highscore.List'); },
    };
  });
  await waitFor(missing, async () => (await stats(missing))?.frames > 100, 20, 'the menu');
  await missing.keyboard.press('ArrowDown');
  await missing.keyboard.press('ArrowDown');
  await missing.keyboard.press('Enter');
  const box = await waitFor(missing, () => missing.evaluate(() => {
    const dialog = document.getElementById('box');
    return dialog.open && `${document.getElementById('box-title').textContent}: ` +
                          `${document.getElementById('box-text').textContent}`;
  }), 10, 'the message box').catch(() => '');
  check(/Highscore-Liste nicht gefunden/.test(box), `the game's message box in the page: ${JSON.stringify(box)}`);
  await missing.screenshot({path: path.join(out, 'page-box.png')});
  const framesWithBox = (await stats(missing)).frames;
  await sleep(500);
  check((await stats(missing)).frames === framesWithBox, 'the game waits while the box is open');
  await missing.keyboard.press('Enter');
  const closed = await waitFor(missing, () => missing.evaluate(() =>
      !document.getElementById('box').open && Module.asphaltix.ended !== null), 10, 'the end')
      .catch(() => false);
  check(closed, 'Enter closes the box, and the game ends as it does on Windows');
  await missing.close();
} catch (e) {
  check(false, e.message);
} finally {
  await browser.close();
  server.kill();
  fs.rmSync(profile, {recursive: true, force: true});
}

console.log('== measured');
for (const [name, s] of Object.entries(sizes)) {
  console.log(`     ${name}: ${s.raw} bytes, ${s.gzip} gzip-compressed`);
}
console.log(`     download: ${(total / 1048576).toFixed(2)} MB gzip-compressed (goal: at most 1.5)`);
if (measured.firstFrameMs !== undefined) {
  console.log(`     load to first frame: ${(measured.firstFrameMs / 1000).toFixed(2)} s` +
              ' (goal: the game\'s 1 s pause plus at most 1 s);' +
              ` the black window first at ${(measured.firstPictureMs / 1000).toFixed(2)} s`);
}
if (measured.frameMedian !== undefined) {
  console.log(`     the game's frame in the page: ${measured.frameMedian.toFixed(2)} ms median` +
              ' (goal: at most 2)');
  console.log(`     pacing: ${measured.fps.toFixed(2)} frames a second over ${measured.seconds.toFixed(1)} s`);
}
if (measured.peak !== undefined) {
  console.log(`     sound: peak ${measured.peak.toFixed(3)}, latency ${measured.latencyMs?.toFixed(1)} ms`);
}
console.log(`     pictures: ${out} ${at()}`);
console.log(failures === 0 ? '== all browser tests passed' : `== ${failures} browser tests failed`);
process.exit(failures === 0 ? 0 : 1);
