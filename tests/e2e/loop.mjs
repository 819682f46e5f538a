#!/usr/bin/env node
// Movies that play as often as their GIF (anivert-cli --loop gif) in a real
// player. Every corpus animation with a repetition count from Chromium
// (ref/refs.json) is converted and played in Ruffle as a copy with a frame
// counter (render.mjs, playCounted): the count of the frames the player
// runs, however often the movie goes round, and a stop at frame K. "Total"
// is the movie's number of frames (ShowFrame tags); the pictures compared
// are the movie's own first and last frames, played in the same player.
//   - played once (no loop extension): the movie stops by itself at frame
//     total and shows its last frame: frames total + 1 to total + 24 never
//     run, and the last frame is what shows in their time;
//   - a count N: at frame total + 1 the first frame; at (N + 1) x total + 1
//     the movie has stopped by itself at (N + 1) x total on its last frame
//     (played within a budget of frames);
//   - for ever (a count of 0): the first frame at total + 1.
// The count of frames tells a stop from a loop; where Chromium's first and
// last pictures of the animation are the same (its frame hashes), the
// pictures cannot tell the two apart and are not compared: those movies
// are listed. Compact movies (--compact finite, the default: of the
// animations that stop; all; none) are played too.
//
//   node loop.mjs --cli PATH --corpus DIR --work DIR [--compact finite|all|none] [--only NAME]
// Ends with "N passed, N failed" (movies judged).
import fs from 'node:fs';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { PNG } from 'pngjs';
import { parseSwf, openSession, closeSession, renderFrames, playCounted, cleanMessage, cliArgs } from './render.mjs';

const RATE = 240;               // frames per second played
const END_BUDGET = 2400;        // frames played at most to see a finite count end


const pixels = png => PNG.sync.read(png).data;
const same = (a, b) => Buffer.compare(pixels(a), pixels(b)) === 0;

async function main() {
  const o = cliArgs();
  for (const k of ['cli', 'corpus', 'work']) if (!o[k]) throw new Error('--' + k + ' is needed');
  const compactSet = o.compact || 'finite';
  const refs = JSON.parse(fs.readFileSync(path.join(o.corpus, 'ref', 'refs.json'), 'utf8'));
  const jobs = [];
  for (const stem of Object.keys(refs).sort()) {
    const meta = refs[stem].chrome_meta;
    if (!meta || !(meta.frameCount > 1) || meta.repetitionCount === null || meta.repetitionCount === undefined) continue;
    if (o.only && !stem.startsWith(o.only)) continue;
    const gif = path.join(o.corpus, 'gifs', stem + '.gif');
    if (!fs.existsSync(gif)) continue;
    // Chromium's count is the repetitions after the first pass.
    const r = meta.repetitionCount;
    const passes = r === 'Infinity' ? Infinity : r + 1;
    const modes = ['default'];
    if (compactSet === 'all' || (compactSet === 'finite' && passes !== Infinity)) modes.push('compact');
    // Chromium's first and last pictures: can a picture tell the ends apart?
    const hashes = refs[stem].chrome?.hashes || [];
    const alike = hashes.length > 1 && hashes[0] === hashes[hashes.length - 1];
    for (const mode of modes) jobs.push({ stem, gif, passes, mode, alike });
  }
  console.log(`== movies that loop as the GIF says: ${jobs.length} movies of ${new Set(jobs.map(j => j.stem)).size} animations`);
  const failed = [], unjudged = [], partly = [], unpictured = [];
  let judged = 0;
  const t0 = performance.now();
  const fail = (name, why) => { failed.push(`${name}: ${why}`); console.log(`FAIL ${name}: ${why}`); };
  // The movies first, then the players: conversions take every core.
  const movies = [];
  for (const j of jobs) {
    const name = `${j.stem} (${j.mode})`;
    const dir = path.join(o.work, j.mode);
    fs.mkdirSync(dir, { recursive: true });
    const swfPath = path.join(dir, j.stem + '.swf');
    fs.rmSync(swfPath, { force: true });
    const conv = spawnSync(o.cli, ['-q', '--loop', 'gif', ...(j.mode === 'compact' ? ['--compact'] : []), '-o', dir, j.gif],
      { encoding: 'latin1' });
    if (conv.status === 0 && fs.existsSync(swfPath)) { movies.push({ ...j, name, swfPath }); continue; }
    // Only a file that makes no movie at all is the decoder's refusal.
    const plain = spawnSync(o.cli, ['-q', '-o', fs.mkdtempSync(path.join(o.work, 'plain-')), j.gif]);
    if (plain.status === 0) { judged++; fail(name, 'no movie with --loop gif: ' + (conv.stderr || '').trim()); }
    else unjudged.push(`${name}: the decoder refuses the file`);
  }

  async function play(session, j) {
    const name = j.name, started = performance.now();
    const swf = parseSwf(fs.readFileSync(j.swfPath));
    const total = swf.showFrames;
    // [K, the frame the player stops at, the picture expected]
    const checks = [];
    if (j.passes === 1) {
      checks.push([total + 24, total, 'the last']);
    } else {
      checks.push([total + 1, total + 1, 'the first']);
      if (j.passes !== Infinity) {
        const end = j.passes * total;
        if (end + 1 <= END_BUDGET) checks.push([end + 1, end, 'the last']);
        else partly.push(`${name}: the end of ${j.passes} passes of ${total} frames lies beyond the budget of ${END_BUDGET} frames`);
      }
    }
    // The movie's own first and last frames, where they tell the ends apart.
    const pictures = {};
    if (j.alike) unpictured.push(`${name}: its first and last frames are the same picture`);
    else {
      // Both pictures from one playing of the movie.
      const frameOf = want => want === 'the first' ? 1 : total;
      const wants = [...new Set(checks.map(c => c[2]))];
      await renderFrames(session, swf, [...new Set(wants.map(frameOf))].sort((a, b) => a - b), (k, r) => {
        for (const want of wants) if (frameOf(want) === k) pictures[want] = r.png;
      }, { frameRate: RATE });
    }
    let bad = 0;
    for (const [k, stop, want] of checks) {
      const r = await playCounted(session, swf, k, { frameRate: RATE });
      const shows = j.alike ? want : Object.keys(pictures).find(p => same(r.png, pictures[p])) || 'another';
      if (r.frame !== stop || shows !== want) {
        bad++;
        fail(name, `at frame ${k}: stopped at frame ${r.frame} showing ${shows} frame; expected frame ${stop} and ${want} frame`);
      }
      if (r.problems.length) { bad++; fail(name, `the player reports ${r.problems.map(cleanMessage).join('; ')}`); }
    }
    if (!bad) console.log(`ok   ${name}: ${j.passes} pass(es) of ${total} frames, ${checks.map(c => c[0]).join(', ')}, ` +
      `${((performance.now() - started) / 1000).toFixed(1)} s`);
  }

  // Two players at a time: a player mostly waits for its frames.
  const queue = [...movies];
  await Promise.all([0, 1].map(async () => {
    const session = await openSession();
    try {
      for (let j; (j = queue.shift());) {
        judged++;
        try { await play(session, j); } catch (e) { fail(j.name, e.message); }
      }
    } finally {
      await closeSession(session);
    }
  }));
  const s = Math.round((performance.now() - t0) / 1000);
  const failedMovies = new Set(failed.map(f => f.split(':')[0])).size;
  console.log(`\n${judged} movies judged, ${unjudged.length} not judged, ${s} s`);
  for (const u of unjudged) console.log('not judged: ' + u);
  for (const p of partly) console.log('partly:     ' + p);
  for (const p of unpictured) console.log('by count:   ' + p);
  console.log(`${judged - failedMovies} passed, ${failedMovies} failed`);
  process.exit(failedMovies ? 1 : 0);
}

main().catch(e => { console.error('loop:', e.stack || e); process.exit(1); });
