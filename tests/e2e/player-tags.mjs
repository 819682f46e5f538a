#!/usr/bin/env node
// Sprites with clip actions, event sounds and button sounds in a real
// player. The movies come from tools/swfsamples:
// - clip-v5.swf and clip-v6.swf place a sprite (a red square) with clip
//   actions in the 16-bit and the 32-bit layout: a GetURL on enter frame
//   must reach the browser while the movie plays, a trace on load must
//   appear, a click on the sprite must run the press record, and (v6) the
//   key k the key-press record while another key runs nothing;
// - sprite-plain.swf places the same sprite without clip actions: it shows
//   and opens nothing;
// - sound.swf defines uncompressed samples, starts them and has a button
//   with a roll-over sound: it plays its frame and the roll-over without
//   an error or warning in the player's log, while sound-mislabelled.swf,
//   the same samples labelled as MP3 data, gets the player's warning when
//   the sound starts (so the log is read, and the StartSound reaches its
//   sound).
// The page records window.open instead of opening.
//
//   node player-tags.mjs --samples PATH/swfsamples --work DIR
// Ends with "N passed, N failed" and a non-zero status on failure.
import fs from 'node:fs';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import { PNG } from 'pngjs';
import { parseSwf, openSession, closeSession, renderFrame, loadMovie, badMessages, cleanMessage } from './render.mjs';

const args = process.argv.slice(2);
const opt = name => { const i = args.indexOf(name); return i >= 0 ? args[i + 1] : undefined; };
const samples = opt('--samples'), work = opt('--work');
if (!samples || !work) {
  console.error('usage: node player-tags.mjs --samples PATH/swfsamples --work DIR');
  process.exit(2);
}

const URL_BASE = 'https://example.invalid/clip/';
let passed = 0, failed = 0;
const check = (ok, what) => {
  if (ok) passed++; else failed++;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
};
const problems = msgs => badMessages(msgs).map(cleanMessage);

// Loads a movie and lets it play; the URLs it opened as "URL TARGET".
async function load(s, file) {
  const m = await loadMovie(s, fs.readFileSync(file));
  return { ...m, opened: async () => (await m.opened()).map(a => `${a[0]} ${a[1]}`) };
}

// Polls until test() holds or about five seconds have passed.
async function waitFor(s, test) {
  for (let i = 0; i < 250; i++) {
    if (await test()) return true;
    await s.page.waitForTimeout(20);
  }
  return false;
}

// Frame 1 rendered: the red square at (20, 20)-(80, 80) over the background.
async function showsSquare(s, file) {
  const r = await renderFrame(s, parseSwf(fs.readFileSync(file)), 1, { openUrlMode: 'allow' });
  const png = PNG.sync.read(r.png);
  const at = (x, y) => Array.from(png.data.subarray((y * png.width + x) * 4, (y * png.width + x) * 4 + 3)).join(',');
  return { inside: at(50, 50), outside: at(150, 50), problems: problems(r.messages) };
}

execFileSync(samples, [work], { stdio: 'inherit' });
const session = await openSession();
try {
  for (const v of [5, 6]) {
    const file = path.join(work, `clip-v${v}.swf`);
    const pic = await showsSquare(session, file);
    check(pic.inside === '255,0,0' && pic.outside === '255,0,255',
      `v${v}: the sprite shows its red square (pixel inside ${pic.inside}, outside ${pic.outside})`);

    const m = await load(session, file);
    const enter = `${URL_BASE}enter-frame-v${v} _blank`, press = `${URL_BASE}press-v${v} _blank`;
    const entered = await waitFor(session, async () => (await m.opened()).includes(enter));
    let opened = await m.opened();
    check(entered && opened.every(o => o === enter),
      `v${v}: the enter-frame clip action opens its URL, and only it, while the movie plays (${opened.length} calls)`);
    check(await m.traced(`clip:load:v${v}`), `v${v}: the load clip action traces`);

    await session.page.evaluate(() => { window.__opened = []; });
    await session.page.mouse.click(50, 50);
    check(await waitFor(session, async () => (await m.opened()).includes(press)),
      `v${v}: a click on the sprite runs the press clip action`);
    if (v >= 6) {
      const key = `${URL_BASE}key-k-v${v} _blank`;
      await session.page.evaluate(() => { window.__opened = []; });
      await session.page.keyboard.press('j');
      await session.page.keyboard.press('k');
      check(await waitFor(session, async () => (await m.opened()).includes(key)),
        `v${v}: the key k runs the key-press clip action`);
      await session.page.evaluate(() => { window.__opened = []; });
      await session.page.keyboard.press('j');
      await session.page.waitForTimeout(300);
      opened = await m.opened();
      check(!opened.includes(key), `v${v}: another key does not run it`);
    }
    const bad = problems(m.messages());
    check(bad.length === 0 && pic.problems.length === 0,
      `v${v}: no error or warning in the player's log${bad.length + pic.problems.length ? ": " + [...pic.problems, ...bad].join("; ") : ""}`);
  }

  const plainFile = path.join(work, 'sprite-plain.swf');
  const plainPic = await showsSquare(session, plainFile);
  check(plainPic.inside === '255,0,0', `plain: the sprite shows its red square (${plainPic.inside})`);
  const plain = await load(session, plainFile);
  await session.page.waitForTimeout(500);
  await session.page.mouse.click(50, 50);
  await session.page.waitForTimeout(300);
  const plainOpened = await plain.opened();
  check(plainOpened.length === 0 && problems(plain.messages()).length === 0,
    `plain: without clip actions nothing opens, no errors (${JSON.stringify(plainOpened)})`);

  // Plays the frame with the StartSound, then rolls over the button twice;
  // answers the log's problems.
  const playSound = async name => {
    const m = await load(session, path.join(work, name));
    check(await waitFor(session, () => m.traced('sound:frame:1')), `${name}: the frame with the StartSound plays`);
    for (const x of [50, 150, 50, 150]) {
      await session.page.mouse.move(x, 50);
      await session.page.waitForTimeout(250);
    }
    return problems(m.messages());
  };
  const soundBad = await playSound('sound.swf');
  check(soundBad.length === 0,
    `sound.swf: DefineSound, StartSound and the button sound play without an error or warning${soundBad.length ? ': ' + soundBad.join('; ') : ''}`);
  const mislabelled = await playSound('sound-mislabelled.swf');
  check(mislabelled.some(p => /Cannot start sound/.test(p)),
    `sound-mislabelled.swf: the player warns that it cannot start the sound (${mislabelled.length} problems: ${mislabelled[0] || 'none'})`);
} finally {
  await closeSession(session);
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
