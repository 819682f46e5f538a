#!/usr/bin/env node
// The frames Chromium shows of GIF files, as the corpus's references were
// made: its ImageDecoder (the decoder and compositor <img> uses), every
// frame it gives with completeFramesOnly false, as RGBA PNG files
// NAME/NNN.png beside each GIF. Prints each file's frame count.
//   node chrome-frames.mjs FILE.gif...
import fs from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { PNG } from 'pngjs';
import { CHROMIUM } from '../render.mjs';

const files = process.argv.slice(2);
const browser = await chromium.launch({ executablePath: CHROMIUM, headless: true, args: ['--no-sandbox'] });
try {
  const page = await browser.newPage();
  // ImageDecoder needs a secure context: an empty page of 127.0.0.1.
  await page.route('http://127.0.0.1:9/', r => r.fulfill({ contentType: 'text/html', body: '<!doctype html>' }));
  await page.goto('http://127.0.0.1:9/');
  for (const file of files) {
    const frames = await page.evaluate(async (b64) => {
      const data = Uint8Array.from(atob(b64), c => c.charCodeAt(0));
      const decoder = new ImageDecoder({ data, type: 'image/gif' });
      await decoder.tracks.ready;
      await decoder.completed.catch(() => {});
      const out = [];
      for (let i = 0; i < decoder.tracks.selectedTrack.frameCount; i++) {
        let r;
        try {
          r = await decoder.decode({ frameIndex: i, completeFramesOnly: false });
        } catch (e) {
          break;
        }
        const w = r.image.displayWidth, h = r.image.displayHeight;
        const rgba = new Uint8Array(w * h * 4);
        await r.image.copyTo(rgba, { format: 'RGBA' });
        r.image.close();
        out.push({ w, h, rgba: btoa(String.fromCharCode(...rgba)) });
      }
      return out;
    }, fs.readFileSync(file).toString('base64'));
    const dir = file.replace(/\.gif$/i, '');
    fs.rmSync(dir, { recursive: true, force: true });
    fs.mkdirSync(dir);
    frames.forEach((f, i) => {
      const png = new PNG({ width: f.w, height: f.h });
      png.data = Buffer.from(f.rgba, 'base64');
      fs.writeFileSync(path.join(dir, String(i).padStart(3, '0') + '.png'), PNG.sync.write(png));
    });
    console.log(`${path.basename(file)}: ${frames.length} frames`);
  }
} finally {
  await browser.close();
}
