#!/usr/bin/env node
// The link of a converted movie in a real player: a movie made with --url
// asks the browser to open the URL in a new window when it is clicked
// anywhere on the stage (corners included); a movie without a link does
// nothing on a click. The page records window.open instead of opening.
// Default and compact movies alike; the link's tags are the same in both.
// A movie that loops as the GIF says (the GIF's loop extension taken out:
// it plays once) is clicked after it has stopped on its last frame.
// The test pages of names that need escaping load their movies.
//
//   node link.mjs --cli PATH/anivert-cli --gif FILE.gif --work DIR
// Ends with "N passed, N failed".
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { execFileSync } from 'node:child_process';
import { parseSwf, loadMovie, playCounted, openSession, closeSession, badMessages, cleanMessage } from './render.mjs';

const args = process.argv.slice(2);
const opt = name => { const i = args.indexOf(name); return i >= 0 ? args[i + 1] : undefined; };
const cli = opt('--cli'), gif = opt('--gif'), work = opt('--work');
if (!cli || !gif || !work) {
  console.error('usage: node link.mjs --cli PATH --gif FILE.gif --work DIR');
  process.exit(2);
}

const URL_TEXT = 'https://example.invalid/landing?from=anivert&x=1';
let passed = 0, failed = 0;
const check = (ok, what) => {
  if (ok) passed++; else failed++;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
};

function convert(name, extra, from = gif) {
  const dir = path.join(work, name);
  fs.mkdirSync(dir, { recursive: true });
  execFileSync(cli, ['-q', '-o', dir, ...extra, from], { stdio: 'inherit' });
  return path.join(dir, path.basename(from).replace(/\.gif$/i, '.swf'));
}

// A copy of the GIF without its loop extension ("NETSCAPE2.0" with one
// loop sub-block): a browser plays it once.
function playedOnce() {
  const data = fs.readFileSync(gif);
  const at = data.indexOf(Buffer.from('\x21\xff\x0bNETSCAPE2.0\x03\x01', 'latin1'));
  if (at < 0) throw new Error(`${gif} has no loop extension`);
  const file = path.join(work, 'once.gif');
  fs.writeFileSync(file, Buffer.concat([data.subarray(0, at), data.subarray(at + 19)]));
  return file;
}

// Loads the whole movie and lets it play a few frames, so that the button
// is on the display list.
async function load(s, file) {
  const m = await loadMovie(s, fs.readFileSync(file));
  await s.page.waitForTimeout(500);
  return m;
}

async function clickAt(s, x, y) {
  await s.page.evaluate(() => { window.__opened = []; });
  await s.page.mouse.move(x, y);
  await s.page.mouse.down();
  await s.page.mouse.up();
  // The release action runs on the player's next frame.
  for (let i = 0; i < 50; i++) {
    const opened = await s.page.evaluate(() => window.__opened);
    if (opened.length) return opened;
    await s.page.waitForTimeout(20);
  }
  return [];
}

// The link's tags (the button, its shape and its placement), which come
// before the first frame's bitmap.
const linkTags = file => {
  const swf = parseSwf(fs.readFileSync(file));
  const first = swf.tags.findIndex(t => t.code === 20 || t.code === 36);
  return Buffer.concat(swf.tags.slice(0, first).map(t => swf.body.subarray(t.start, t.end))).toString('hex');
};

const session = await openSession();
try {
  const files = {};
  for (const [mode, extra] of [['default', []], ['compact', ['--compact']]]) {
    const file = convert(`linked-${mode}`, ['--url', URL_TEXT, ...extra]);
    files[mode] = file;
    const linked = await load(session, file);
    const { w, h } = linked;
    const points = [[w / 2, h / 2], [0.5, 0.5], [w - 0.5, 0.5], [0.5, h - 0.5], [w - 0.5, h - 0.5]];
    for (const [x, y] of points) {
      const opened = await clickAt(session, x, y);
      check(opened.length === 1 && opened[0][0] === URL_TEXT && opened[0][1] === '_blank',
        `${mode}: click at (${x}, ${y}) of the linked ${w}x${h} movie opens the URL in a new window: ${JSON.stringify(opened)}`);
    }
    const bad = badMessages(linked.messages());
    check(bad.length === 0, `${mode}: the linked movie plays without errors${bad.length ? ': ' + bad.map(cleanMessage).join('; ') : ''}`);

    await load(session, convert(`plain-${mode}`, extra));
    const opened = await clickAt(session, w / 2, h / 2);
    check(opened.length === 0, `${mode}: a click on a movie without a link opens nothing: ${JSON.stringify(opened)}`);
  }
  // The movie with a frame counter that would stop it 24 frames after its
  // end: it stops by itself at its last frame, then it is clicked.
  const once = parseSwf(fs.readFileSync(convert('stopped', ['--url', URL_TEXT, '--loop', 'gif'], playedOnce())));
  const played = await playCounted(session, once, once.showFrames + 24, { frameRate: 240, openUrlMode: 'allow' });
  check(played.frame === once.showFrames,
    `the movie that plays once stops at its last frame, ${once.showFrames}: ${played.frame}`);
  const stopped = played.movie;
  const opened = await clickAt(session, stopped.w / 2, stopped.h / 2);
  check(opened.length === 1 && opened[0][0] === URL_TEXT,
    `a click on it after it has stopped opens the URL: ${JSON.stringify(opened)}`);
  const a = linkTags(files.default), b = linkTags(files.compact);
  check(a.length > 0 && a === b, `the link's button, shape and placement are the same bytes in both movies`);

  // Test pages of names a Linux user has: the browser resolves the
  // embed's and the object's URL to the movie file, and shows the name.
  const page = await session.page.context().newPage();
  try {
    for (const name of ['s é.gif', 'a&b.gif', 'q"uote.gif', '<x>.gif']) {
      const dir = path.join(work, 'pages');
      fs.mkdirSync(dir, { recursive: true });
      fs.copyFileSync(gif, path.join(dir, name));
      execFileSync(cli, ['-q', '--test-page', '-o', dir, path.join(dir, name)], { stdio: 'inherit' });
      const movie = path.join(dir, name.replace(/\.gif$/, '.swf'));
      await page.goto(pathToFileURL(movie.replace(/\.swf$/, '.html')).href);
      const seen = await page.evaluate(() => ({
        embed: document.querySelector('embed').src,
        param: new URL(document.querySelector('param[name=movie]').value, document.baseURI).href,
        title: document.title,
      }));
      const file = url => { try { return fileURLToPath(url); } catch { return url; } };
      check(file(seen.embed) === movie && file(seen.param) === movie && fs.existsSync(file(seen.embed)) &&
        seen.title === 'Test page for ' + path.basename(movie),
        `the test page of ${JSON.stringify(name)} loads ${JSON.stringify(seen.embed)} and reads ${JSON.stringify(seen.title)}`);
    }
  } finally {
    await page.close();
  }
} finally {
  await closeSession(session);
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
