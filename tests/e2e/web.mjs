#!/usr/bin/env node
// The browser page (tools/web.sh's site), served on 127.0.0.1 and driven in
// headless Chromium:
//   1. window.anivert.convert on every GIF (corpus, self-made, the sample)
//      as default and as compact movies: each movie byte for byte the one
//      anivert-cli makes, each failure with the CLI's reason;
//   2. three GIFs, one of them damaged, put into the page's file input:
//      their rows end done, done and failed (with the CLI's reason);
//   3. a finished movie played in the page's own preview: once it has
//      stopped on its last frame, the picture is the CLI movie's last frame
//      played by the same player in the harness (render.mjs).
//
//   node web.mjs --site DIR --cli PATH --selfmade DIR --sample GIF --work DIR [--corpus DIR]
// Ends with "N passed, N failed".
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import crypto from 'node:crypto';
import { spawnSync } from 'node:child_process';
import { PNG } from 'pngjs';
import { CHROMIUM, parseSwf, openSession, closeSession, renderFrame, cleanMessage, cliArgs, serveFolder } from './render.mjs';

const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];


// The CLI's movies of FILES in DIR, and its reason for each file it refused.
function cliRun(cli, modeArgs, files, dir) {
  fs.mkdirSync(dir, { recursive: true });
  const r = spawnSync(cli, ['-q', ...modeArgs, '-o', dir, ...files], { encoding: 'utf8', maxBuffer: 1 << 26 });
  const reasons = new Map();
  for (const file of files) {
    const line = (r.stderr || '').split('\n').find(l => l.startsWith(file + ': '));
    if (line) reasons.set(file, line.slice(file.length + 2));
  }
  return reasons;
}

const movieOf = (dir, gif) => path.join(dir, path.basename(gif).replace(/\.gif$/i, '') + '.swf');
const sha256 = bytes => crypto.createHash('sha256').update(bytes).digest('hex');
// The page names its own remedy for the work budget (it cannot lift it).
const sameReason = (page, cli) => page.replace('(anivert-cli --max-pixels raises it)', '(--max-pixels raises it)') === cli;

// A copy of a GIF without its loop extension: it plays once, and so does
// its movie that loops as the GIF says.
function playedOnce(gif) {
  const at = gif.indexOf(Buffer.from('\x21\xff\x0bNETSCAPE2.0', 'latin1'));
  if (at < 0) return gif;
  let p = at + 14;
  while (gif[p] !== 0) p += gif[p] + 1;
  return Buffer.concat([gif.subarray(0, at), gif.subarray(p + 1)]);
}

let passed = 0, failed = 0;
const judge = (ok, what) => {
  if (ok) passed++;
  else failed++;
  if (!ok) console.log('FAIL ' + what);
};

async function main() {
  const o = cliArgs();
  for (const k of ['site', 'cli', 'selfmade', 'sample', 'work']) if (!o[k]) throw new Error('--' + k + ' is needed');
  const site = path.resolve(o.site);
  fs.mkdirSync(o.work, { recursive: true });

  const gifs = [path.resolve(o.sample)];
  for (const f of fs.readdirSync(o.selfmade).sort()) if (f.endsWith('.gif')) gifs.push(path.resolve(o.selfmade, f));
  if (o.corpus) {
    const dir = path.join(o.corpus, 'gifs');
    for (const f of fs.readdirSync(dir).sort()) if (f.endsWith('.gif')) gifs.push(path.resolve(dir, f));
  }
  const modes = [['default', [], {}], ['compact', ['--compact'], { compact: true }]];
  const cli = {};
  for (const [name, modeArgs] of modes) {
    const dir = path.join(o.work, 'cli-' + name);
    cli[name] = { dir, reasons: cliRun(o.cli, modeArgs, gifs, dir) };
  }

  const server = await serveFolder(site);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'anivert-web-'));
  const ctx = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS, deviceScaleFactor: 1,
    viewport: { width: 1280, height: 900 }, acceptDownloads: true,
  });
  const page = ctx.pages()[0] || await ctx.newPage();
  const messages = [];
  page.on('console', m => messages.push({ type: m.type(), text: m.text() }));
  page.on('pageerror', e => messages.push({ type: 'pageerror', text: String(e) }));
  try {
    await page.goto(server.origin + '/index.html');
    await page.evaluate(() => window.anivert.ready);

    // 1. The script API against the CLI, file by file, mode by mode.
    const t0 = Date.now();
    for (const gif of gifs) {
      const bytes = fs.readFileSync(gif);
      for (const [name, , options] of modes) {
        const got = await page.evaluate(async ([b64, options]) => {
          const bytes = Uint8Array.from(atob(b64), c => c.charCodeAt(0));
          const r = await window.anivert.convert(bytes, options);
          const hash = r.movie ? [...new Uint8Array(await crypto.subtle.digest('SHA-256', r.movie))]
            .map(x => x.toString(16).padStart(2, '0')).join('') : null;
          return { ok: r.ok, reason: r.reason, size: r.movie ? r.movie.length : 0, hash };
        }, [bytes.toString('base64'), options]);
        const want = movieOf(cli[name].dir, gif);
        const what = `${name} ${path.basename(gif)}`;
        if (fs.existsSync(want)) {
          const movie = fs.readFileSync(want);
          judge(got.ok && got.hash === sha256(movie),
            `${what}: page ${got.ok ? got.size + ' bytes' : 'failed: ' + got.reason}, CLI ${movie.length} bytes`);
        } else {
          const reason = cli[name].reasons.get(gif) || '(no reason printed)';
          judge(!got.ok && sameReason(got.reason, reason), `${what}: page ${got.ok ? 'made a movie' : got.reason}, CLI ${reason}`);
        }
      }
    }
    console.log(`== api: ${gifs.length} GIFs x 2 modes in ${((Date.now() - t0) / 1000).toFixed(1)} s`);

    // 2. Three files through the page's own input; compact is the page's
    // default. The damaged one is a copy of the sample cut short.
    const damaged = path.join(o.work, 'damaged.gif');
    const sample = fs.readFileSync(o.sample);
    fs.writeFileSync(damaged, sample.subarray(0, 20));
    const three = [path.resolve(o.sample), gifs.find(g => g.includes('disposals')), damaged];
    const expect = cliRun(o.cli, ['--compact'], [damaged], path.join(o.work, 'cli-damaged')).get(damaged);
    await page.setInputFiles('#files', three);
    const rows = await page.waitForFunction((names) => {
      const states = names.map(n => document.querySelector(`#files-list [data-name="${CSS.escape(n)}"]`))
        .map(r => r && r.dataset.state);
      return states.every(s => s && s !== 'waiting' && s !== 'converting') &&
        names.map((n, i) => [states[i], document.querySelector(`#files-list [data-name="${CSS.escape(n)}"]`).textContent]);
    }, three.map(f => path.basename(f)), { timeout: 60000 }).then(h => h.jsonValue());
    judge(rows[0][0] === 'done' && rows[1][0] === 'done' && rows[2][0] === 'failed' && rows[2][1].includes(expect),
      `page rows: ${JSON.stringify(rows)} (the damaged file's reason: ${expect})`);

    // 3. The preview: a GIF played once, its movie made to stop on its
    // last frame, against the CLI movie's last frame.
    const once = path.join(o.work, 'once.gif');
    fs.writeFileSync(once, playedOnce(sample));
    const cliOnce = path.join(o.work, 'cli-once');
    fs.mkdirSync(cliOnce, { recursive: true });
    spawnSync(o.cli, ['-q', '--compact', '--loop', 'gif', '-o', cliOnce, once]);
    const swf = parseSwf(fs.readFileSync(movieOf(cliOnce, once)));
    const s = await openSession();
    let want;
    try {
      want = (await renderFrame(s, swf, swf.frameCount, { bg: 'movie' })).png;
    } finally {
      await closeSession(s);
    }
    await page.check('#loop-gif');
    await page.setInputFiles('#files', [once]);
    const row = `#files-list [data-name="once.gif"]`;
    await page.waitForSelector(`${row}[data-state="done"]`, { timeout: 60000 });
    await page.click(`${row} .preview`);
    const stage = page.locator('#preview-movie ruffle-player, #preview-movie ruffle-object, #preview-movie ruffle-embed').first();
    await stage.waitFor({ timeout: 30000 });
    // Played through (8 frames at the GIF's pace), then still.
    let shot = null, previous = null;
    const until = Date.now() + 30000;
    await page.waitForTimeout(2000);
    while (Date.now() < until) {
      shot = await stage.screenshot();
      if (previous && Buffer.compare(shot, previous) === 0) break;
      previous = shot;
      await page.waitForTimeout(500);
    }
    const a = PNG.sync.read(want), b = PNG.sync.read(shot);
    let off = 0, total = 0;
    const w = Math.min(a.width, b.width), h = Math.min(a.height, b.height);
    for (let y = 0; y < h; y++) {
      for (let x = 0; x < w; x++) {
        const i = (y * a.width + x) * 4, j = (y * b.width + x) * 4;
        total++;
        if (Math.max(...[0, 1, 2].map(c => Math.abs(a.data[i + c] - b.data[j + c]))) > 8) off++;
      }
    }
    fs.writeFileSync(path.join(o.work, 'preview.png'), shot);
    judge(a.width === b.width && a.height === b.height && off === 0,
      `preview: ${b.width}x${b.height} against ${a.width}x${a.height}, ${off} of ${total} pixels differ (${o.work}/preview.png)`);

    const bad = messages.filter(m => m.type === 'error' || m.type === 'pageerror');
    judge(bad.length === 0, 'page errors: ' + bad.map(cleanMessage).join(' | '));
  } finally {
    await ctx.close();
    await server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

main().catch(e => {
  console.error(e);
  failed++;
}).finally(() => {
  console.log(`${passed} passed, ${failed} failed`);
  process.exitCode = failed ? 1 : 0;
});
