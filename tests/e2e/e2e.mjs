#!/usr/bin/env node
// End-to-end test of the converter in an independent Flash player.
//
// Every GIF is converted with anivert-cli; each movie is played in Ruffle
// inside headless Chromium at 1:1 over a fixed background, and the movie
// frame on which each GIF frame first shows (found from the movie's own
// runs of ShowFrame tags) is compared, channel for channel, with a
// reference picture of that GIF frame composited over the same background:
// Chromium's (the corpus's ref/<name>/chrome/NNN.png) or, for the GIFs this
// test makes itself, ImageMagick's coalesced frames. The length of every run
// is checked against the GIF's delays. Each movie plays once, stopping on
// every frame compared (render.mjs, renderFrames); two players work at once.
//
// With --mode compact the movies are compact ones (anivert-cli --compact),
// and --runs-of DIR compares their runs of frames with the movies of the
// same names in DIR (the default ones): the same GIF frames on the same
// movie frames. Then only the first frame of each kind of step the compact
// movie takes, and its last frame, are compared (firstOfEachKind). With
// --mode salvage (or salvage-compact) the damaged files (those the decoder
// refuses or reads by a rule) become movies of what a browser shows
// (anivert-cli --salvage): no difference may be left to a rule, none may be
// refused that Chromium shows, and the movie must have as many frames as
// Chromium shows.
//
//   node e2e.mjs --cli PATH --gifdump PATH --work DIR [--corpus DIR] [--selfmade DIR]
//                [--mode default|compact|salvage|salvage-compact] [--runs-of DIR] [--only NAME] [--max-frames N]
//                [--workers N]  (players at once, 2 by default)
import fs from 'node:fs';
import path from 'node:path';
import { execFileSync, spawnSync } from 'node:child_process';
import { PNG } from 'pngjs';
import { parseSwf, openSession, closeSession, renderFrames, badMessages, cleanMessage, cliArgs } from './render.mjs';

const BG = [0xFF, 0x00, 0xFF];

// Files the reference cannot judge, with the reason.
const UNJUDGED = {
  'imagers_issue_1455_oversized.gif': 'a frame lies beyond the logical screen: Chromium enlarges the canvas',
  'imagers_oob.gif': 'a frame lies beyond the logical screen: Chromium enlarges the canvas',
  'pygif_image-outside-bg.gif': 'a frame lies beyond the logical screen: Chromium enlarges the canvas',
  'wuffs_frame-out-of-bounds.gif': 'a frame lies beyond the logical screen: Chromium enlarges the canvas',
};
// Damaged files the reference cannot judge when salvaged.
const UNJUDGED_SALVAGED = {
  'imggif_issue-96-small-codesize-2.gif':
    'a frame lies beyond the logical screen: Chromium would enlarge the canvas past what it decodes, and shows nothing',
  'imggif_issue-117-out-of-range.gif': 'a frame lies beyond the logical screen: Chromium enlarges the canvas, and shows nothing',
  'nsgif_lzwof.gif': 'a frame lies beyond the logical screen: Chromium enlarges the canvas',
  'nsgif_lzwoob.gif': 'a frame lies beyond the logical screen: Chromium enlarges the canvas',
};
// Delays that differ from the manifest's by a documented rule.
const DELAY_RULES = {
  'wuffs_multiple-graphic-controls.gif':
    'a frame with two graphic control extensions takes its first (delay 20); gifsicle reports the last (30)',
};
// Frames whose difference from the reference follows from a documented rule.
const RULES = {
  'its_bc7af0616c4ae99144c8600e7b39beea.gif':
    'truncated LZW data: the missing pixels keep the fill value (index 0, opaque); Chromium shows them transparent',
  'its_adf6f850b13dff73ebb22862c6ab028b.gif':
    'an invalid code: the decoder reads it as a code not yet in the table and goes on; Chromium stops decoding there',
  'wuffs_zero-width-frame.gif':
    'a zero-width frame takes the logical screen\'s size (the decoder\'s rule); Chromium draws nothing',
  'short-frame.gif':
    'its third frame ends early: the missing pixels keep the fill value (index 0, opaque); Chromium shows them transparent',
  'short-frame-padded.gif':
    'its third frame ends early: the missing pixels keep the fill value (index 0, opaque); Chromium shows them transparent',
};

// The converter's options for each kind of movie.
const MODES = {
  default: [], compact: ['--compact'], salvage: ['--salvage'], 'salvage-compact': ['--salvage', '--compact'],
};


const roundHalfEven = x => {
  const f = Math.floor(x), d = x - f;
  return d > 0.5 ? f + 1 : d < 0.5 ? f : (f % 2 === 0 ? f : f + 1);
};

// The frames of a GIF as gifdump lists them.
function gifFrames(gifdump, file, salvage = false) {
  const r = spawnSync(gifdump, salvage ? ['--salvage', file] : [file], { encoding: 'latin1' });
  if (r.status !== 0) return { ok: false, error: (r.stderr || r.stdout).trim() };
  const screen = r.stdout.match(/^screen: (\d+)x(\d+)/m);
  const frames = [];
  for (const m of r.stdout.matchAll(/^frame (\d+): (empty, )?bounds .*?delay (\d+|none), disposal (\d+|none)/gm))
    frames.push({ index: +m[1], empty: !!m[2], delay: m[3] === 'none' ? null : +m[3], disposal: m[4] === 'none' ? 0 : +m[4] });
  return { ok: true, width: +screen[1], height: +screen[2], frames, salvaged: /^salvaged: /m.test(r.stdout) };
}

// Runs of consecutive ShowFrame tags: [{first (1-based frame), length}].
function showRuns(swf) {
  const runs = [];
  let frame = 0, inRun = false;
  for (const t of swf.tags) {
    if (t.code === 1) {
      frame++;
      if (inRun) runs[runs.length - 1].length++;
      else runs.push({ first: frame, length: 1 });
      inRun = true;
    } else inRun = false;
  }
  return runs;
}

function manifestDelays(corpus) {
  const m = new Map();
  if (!corpus) return m;
  const file = path.join(corpus, 'manifest.tsv');
  if (!fs.existsSync(file)) return m;
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    if (!line || line.startsWith('#')) continue;
    const f = line.split('\t');
    m.set(f[0], f[4] ? f[4].split(',').map(Number) : []);
  }
  return m;
}

// A reference picture composited over the background: RGB rows.
function composite(png) {
  const out = Buffer.alloc(png.width * png.height * 3);
  for (let i = 0, j = 0; i < png.data.length; i += 4, j += 3) {
    const a = png.data[i + 3];
    for (let c = 0; c < 3; c++) out[j + c] = a === 0 ? BG[c] : png.data[i + c];
    if (a !== 0 && a !== 255) throw new Error('reference with partial alpha');
  }
  return out;
}

function differences(rendered, reference, w, h) {
  let n = 0, first = null;
  for (let y = 0; y < h; y++)
    for (let x = 0; x < w; x++) {
      const i = (y * w + x) * 4, j = (y * w + x) * 3;
      if (rendered.data[i] !== reference[j] || rendered.data[i + 1] !== reference[j + 1] ||
          rendered.data[i + 2] !== reference[j + 2]) {
        if (!first) first = `(${x}, ${y}) rendered ${rendered.data.slice(i, i + 3).join(',')} reference ${reference.slice(j, j + 3).join(',')}`;
        n++;
      }
    }
  return { n, first };
}

// Frames to compare. The movie plays once, stopping on each frame compared:
// the playing takes K / 240 seconds to movie frame K, and each stop a
// picture (longer on a larger stage). A long animation is sampled within a
// budget: the first and last frame, every frame that follows a disposal 2
// or 3, then frames spread evenly. Only frames with a stored reference count.
const PLAYBACK_BUDGET = 24;  // seconds per file
function sampleFrames(shown, runs, hasRef, width, height) {
  const all = [...shown.keys()].filter(hasRef);
  if (!all.length) return new Set();
  const perStop = 0.1 + width * height / 3.5e5;  // software rendering: about 3 us a pixel
  const room = Math.max(2, Math.floor((PLAYBACK_BUDGET - runs[all[all.length - 1]].first / 240) / perStop));
  if (all.length <= room) return new Set(all);
  const order = [0, shown.length - 1];
  for (let i = 1; i < shown.length; i++) if (shown[i - 1].disposal === 2 || shown[i - 1].disposal === 3) order.push(i);
  for (let step = Math.max(2, Math.floor(all.length / 4)); step >= 1; step = Math.floor(step / 2))
    for (const i of all) if (i % step === 0) order.push(i);
  const keep = new Set();
  for (const i of order) {
    if (keep.size >= room) break;
    if (hasRef(i)) keep.add(i);
  }
  return keep;
}

// What each movie frame does, as a key: the tags before its ShowFrame (a
// picture that covers the stage told from a smaller one, a placing of a
// new character from a move). Frames of one key are the same kind of step.
function frameKinds(swf) {
  const kinds = [];
  let parts = [];
  for (const t of swf.tags) {
    if (t.code === 1) { kinds.push(parts.sort().join(',')); parts = []; continue; }
    if (t.code === 20 || t.code === 36) {
      const full = t.body.readUInt16LE(3) === Math.ceil(swf.widthPx) && t.body.readUInt16LE(5) === Math.ceil(swf.heightPx);
      parts.push(t.code + (full ? ':stage' : ':part'));
    } else if (t.code === 26) parts.push('26' + (t.body[0] & 0x02 ? ':new' : '') + (t.body[0] & 0x01 ? ':move' : ''));
    else parts.push(String(t.code));
  }
  return kinds;
}

// The frames of a compact movie Ruffle judges: the default movie's frames
// are judged already, and the unit tests show every compact frame equal to
// the default one in our own renderer, so the player need only show that
// it plays each kind of step the compact encoding takes as that renderer
// does: the first frame of each kind, and the last frame.
function firstOfEachKind(swf, runs, hasRef) {
  const kinds = frameKinds(swf), seen = new Set(), keep = new Set();
  runs.forEach((r, i) => {
    const kind = kinds[r.first - 1];
    if (!hasRef(i) || seen.has(kind)) return;
    seen.add(kind);
    keep.add(i);
  });
  for (let i = runs.length - 1; i >= 0; i--) if (hasRef(i)) { keep.add(i); break; }
  return keep;
}

async function main() {
  const o = cliArgs();
  for (const k of ['cli', 'gifdump', 'work']) if (!o[k]) throw new Error('--' + k + ' is needed');
  fs.mkdirSync(o.work, { recursive: true });
  const delays = manifestDelays(o.corpus);
  const jobs = [];
  if (o.corpus && fs.existsSync(path.join(o.corpus, 'gifs')))
    for (const n of fs.readdirSync(path.join(o.corpus, 'gifs')).filter(n => n.endsWith('.gif')).sort())
      jobs.push({ name: n, gif: path.join(o.corpus, 'gifs', n), refs: path.join(o.corpus, 'ref', n.slice(0, -4), 'chrome'), kind: 'corpus' });
  if (o.selfmade)
    for (const n of fs.readdirSync(o.selfmade).filter(n => n.endsWith('.gif')).sort())
      jobs.push({ name: n, gif: path.join(o.selfmade, n), refs: path.join(o.selfmade, n.slice(0, -4)), kind: 'selfmade' });
  const mode = o.mode || 'default';
  if (!MODES[mode]) throw new Error('unknown mode ' + mode);
  const modeArgs = MODES[mode];
  const salvage = mode.startsWith('salvage');
  // Salvaging changes only the files that are damaged, or read by a rule.
  const damaged = j => !gifFrames(o.gifdump, j.gif).ok || gifFrames(o.gifdump, j.gif, true).salvaged ||
    RULES[j.name] || DELAY_RULES[j.name];
  const selected = (o.only ? jobs.filter(j => j.name === o.only || j.name.startsWith(o.only)) : jobs)
    .filter(j => !salvage || damaged(j));
  const rules = salvage ? {} : RULES, delayRules = salvage ? {} : DELAY_RULES;
  console.log(`== ${mode} movies`);

  const report = { judged: 0, frames: 0, failed: [], unjudged: [], rules: [], refused: 0, sampled: [] };
  const t0 = performance.now();
  // Several players at once, each over the next file not yet taken; what a
  // file gives is printed when it is done.
  const workers = Math.max(1, Math.min(+(o.workers || 2), selected.length));
  let next = 0;
  const work = async () => {
    const session = await openSession();
    try {
      while (next < selected.length) {
        const j = selected[next++];
        const out = [];
        const fail = why => { report.failed.push(`${j.name}: ${why}`); out.push(`FAIL ${j.name}: ${why}`); };
        try {
          await judge(j, session, fail, out);
        } catch (e) {
          fail(String(e.message || e));
        }
        if (out.length) console.log(out.join('\n'));
      }
    } finally {
      await closeSession(session);
    }
  };
  const judge = async (j, session, fail, out) => {
    const info = gifFrames(o.gifdump, j.gif, salvage);
    let refCount = fs.existsSync(j.refs) ? fs.readdirSync(j.refs).filter(f => /^\d{3}\.png$/.test(f)).length : 0;
    // Where Chromium's frame decoder gave nothing, an <img> element may
    // still show a picture of the file (its first frame): what a browser
    // shows of a damaged file.
    const imgRef = path.join(j.refs, 'img-000.png');
    const byImg = salvage && j.kind === 'corpus' && !refCount && fs.existsSync(imgRef);
    const refOf = i => byImg ? (i === 0 ? imgRef : null) : path.join(j.refs, String(i).padStart(3, '0') + '.png');
    const swfPath = path.join(o.work, j.name.slice(0, -4) + '.swf');
    fs.rmSync(swfPath, { force: true });
    const conv = spawnSync(o.cli, ['-q', ...modeArgs, '-o', o.work, j.gif], { encoding: 'latin1' });
    if (!info.ok) {
      // A file the decoder refuses makes no movie.
      if (conv.status !== 1 || fs.existsSync(swfPath)) fail('refused by the decoder but converted');
      else if (salvage && (refCount || byImg)) fail(`refused, but Chromium shows ${refCount || 1} frame(s)`);
      else report.refused++;
      return;
    }
    if (conv.status !== 0 || !fs.existsSync(swfPath)) return fail('conversion failed: ' + (conv.stderr || '').trim());
    let swf;
    try { swf = parseSwf(fs.readFileSync(swfPath)); } catch (e) { return fail('movie unreadable: ' + e.message); }
    const shown = info.frames.filter(f => !f.empty);
    const runs = showRuns(swf);
    if (runs.length !== shown.length) return fail(`${runs.length} runs of frames for ${shown.length} GIF frames`);
    const unjudged = (salvage && UNJUDGED_SALVAGED[j.name]) || UNJUDGED[j.name];
    if (salvage && (j.kind === 'corpus' || refCount) && !byImg && !unjudged && shown.length !== refCount)
      fail(`${shown.length} frames salvaged, Chromium shows ${refCount}`);
    if (o['runs-of']) {
      const other = path.join(o['runs-of'], path.basename(swfPath));
      if (!fs.existsSync(other)) fail('no movie to compare the runs with');
      else if (JSON.stringify(showRuns(parseSwf(fs.readFileSync(other)))) !== JSON.stringify(runs))
        fail(`runs of frames differ from ${other}`);
    }
    // Timing: a GIF frame shows for delay / 4 movie frames (halves to even), at least one; ten without a delay.
    const manifest = delays.get(j.name);
    for (let i = 0; i < shown.length; i++) {
      const d = shown[i].delay;
      const want = d === null ? 10 : Math.max(1, roundHalfEven(d / 4));
      if (runs[i].length !== want) fail(`GIF frame ${shown[i].index} shows ${runs[i].length} movie frames, its delay ${d} makes ${want}`);
      if (manifest && manifest.length === shown.length && d !== null && manifest[i] !== d) {
        if (delayRules[j.name]) report.rules.push(`${j.name}: delay by rule: ${delayRules[j.name]}`);
        else fail(`GIF frame ${shown[i].index}: delay ${d}, the manifest says ${manifest[i]}`);
      }
    }
    if (unjudged) { report.unjudged.push(`${j.name}: ${unjudged}`); return; }
    if (!refCount && !byImg) { report.unjudged.push(`${j.name}: the reference gives no frame`); return; }
    let bad = 0, checked = 0;
    const limit = o['max-frames'] ? +o['max-frames'] : Infinity;
    const hasRef = i => { const r = refOf(i); return !!r && fs.existsSync(r); };
    const kinds = mode === 'compact' && o['runs-of'];
    const wanted = [...(kinds ? firstOfEachKind(swf, runs, hasRef) : sampleFrames(shown, runs, hasRef, info.width, info.height))]
      .sort((a, b) => a - b).slice(0, limit);
    if (wanted.length < shown.length && !kinds) report.sampled.push(`${j.name}: ${wanted.length} of ${shown.length} frames`);
    const started = performance.now();
    const gifFrameOf = new Map(wanted.map(i => [runs[i].first, i]));
    let sizeBad = false;
    await renderFrames(session, swf, wanted.map(i => runs[i].first), async (k, r) => {
      const i = gifFrameOf.get(k);
      const png = PNG.sync.read(fs.readFileSync(refOf(i)));
      if (png.width !== info.width || png.height !== info.height) {
        if (!sizeBad) fail('reference size differs from the screen');
        sizeBad = true;
        return;
      }
      const problems = badMessages(r.messages);
      if (problems.length) fail(`frame ${k}: player reports ${problems.map(cleanMessage).join('; ')}`);
      const rendered = PNG.sync.read(r.png);
      const d = differences(rendered, composite(png), info.width, info.height);
      checked++;
      report.frames++;
      if (d.n) {
        bad++;
        if (!rules[j.name]) fail(`GIF frame ${shown[i].index} (movie frame ${k}): ${d.n} pixels differ, first ${d.first}`);
      }
    }, { frameRate: 240 });
    if (bad && rules[j.name]) report.rules.push(`${j.name}: ${bad} frame(s) differ by rule: ${rules[j.name]}`);
    report.judged++;
    out.push(`ok   ${j.name}: ${checked} frame(s)` + (bad && rules[j.name] ? ` (${bad} differ by rule)` : '') +
      `, ${((performance.now() - started) / 1000).toFixed(1)} s`);
  };
  await Promise.all(Array.from({ length: workers }, work));
  const s = Math.round((performance.now() - t0) / 1000);
  console.log(`\n${report.judged} files judged, ${report.frames} frames compared, ${report.refused} refused by the decoder, ${s} s`);
  for (const u of report.unjudged) console.log('not judged: ' + u);
  for (const r of report.rules) console.log('by rule:    ' + r);
  for (const r of report.sampled) console.log('sampled:    ' + r);
  console.log(`${report.judged - new Set(report.failed.map(f => f.split(':')[0])).size} passed, ${new Set(report.failed.map(f => f.split(':')[0])).size} failed`);
  process.exit(report.failed.length ? 1 : 0);
}

main().catch(e => { console.error('e2e:', e.stack || e); process.exit(1); });
