#!/usr/bin/env node
// The browser page's conversion time against the native converter's, in
// one run on one machine: the benchmark GIFs (bench_convert's corpus files
// and its two generated animations), default and compact movies. Native is
// `anivert-cli --jobs 1` (one file at a time; its conversion still packs
// and decodes on every core), timed as a whole process; the page is
// window.anivert.convert in headless Chromium (WebAssembly, one thread),
// timed in the page from the call to the movie's bytes. Best of N runs
// each. Prints a Markdown table with the ratios page / native.
//
//   node bench/web_vs_native.mjs --site build-web/site --cli build/app/anivert-cli \
//        --generated DIR (bench_convert --generate DIR) [--corpus DIR] [--runs N]
import { chromium } from '../tests/e2e/node_modules/playwright-core/index.mjs';
import { serveFolder } from '../tests/e2e/render.mjs';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const CorpusFiles = ['glide_opaque_gif.gif', 'glide_transparent_gif.gif', 'glide_interlaced_transparent_gif.gif',
  'agd_anim_flag_ok_large.gif', 'imggif_sample_big.gif', 'its_e6aa0c45a13dd7fc94f7b5451bd89bf4.gif',
  'pillow_iss634.gif', 'pillow_chi.gif', 'agd_led7.gif', 'its_f617c7af7f36296a37ddb419b828099c.gif', 'nsgif_waves.gif'];
const Generated = ['generated_500x500_100_full.gif', 'generated_1000x800_300_small.gif'];

function args() {
  const o = { runs: 3, corpus: path.join(here, '..', '..', 'shared', 'corpus') };
  const a = process.argv.slice(2);
  for (let i = 0; i < a.length; i += 2) o[a[i].replace(/^--/, '')] = a[i + 1];
  for (const k of ['site', 'cli', 'generated']) if (!o[k]) throw new Error('--' + k + ' is needed');
  return o;
}

function native(cli, gif, compact, runs, out) {
  let best = Infinity;
  for (let i = 0; i < runs; i++) {
    const t0 = process.hrtime.bigint();
    const r = spawnSync(cli, ['-q', '--jobs', '1', ...(compact ? ['--compact'] : []), '-o', out, gif]);
    const s = Number(process.hrtime.bigint() - t0) / 1e9;
    if (r.status !== 0) return null;
    best = Math.min(best, s);
  }
  return best;
}

async function main() {
  const o = args();
  const site = path.resolve(o.site);
  const gifs = [...CorpusFiles.map(f => path.join(o.corpus, 'gifs', f)), ...Generated.map(f => path.join(o.generated, f))]
    .filter(f => fs.existsSync(f));
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'anivert-webbench-'));
  const server = await serveFolder(site);
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu'] });
  const page = await browser.newPage();
  await page.goto(server.origin + '/index.html');
  await page.evaluate(() => window.anivert.ready);
  console.log('| file | GIF KiB | default native s | default page s | ratio | compact native s | compact page s | ratio |');
  console.log('|---|---:|---:|---:|---:|---:|---:|---:|');
  const ratios = { default: [], compact: [] };
  for (const gif of gifs) {
    const bytes = fs.readFileSync(gif);
    await page.evaluate((b64) => { window.benchGif = Uint8Array.from(atob(b64), c => c.charCodeAt(0)); },
      bytes.toString('base64'));
    const cells = [path.basename(gif), (bytes.length / 1024).toFixed(0)];
    for (const compact of [false, true]) {
      const n = native(o.cli, gif, compact, +o.runs, out);
      const p = await page.evaluate(async ([compact, runs]) => {
        let best = Infinity;
        for (let i = 0; i < runs; i++) {
          const t0 = performance.now();
          const r = await window.anivert.convert(window.benchGif, { compact });
          if (!r.ok) return null;
          best = Math.min(best, (performance.now() - t0) / 1000);
        }
        return best;
      }, [compact, +o.runs]);
      const ratio = n && p ? p / n : null;
      if (ratio) ratios[compact ? 'compact' : 'default'].push(ratio);
      cells.push(n ? n.toFixed(3) : 'refused', p ? p.toFixed(3) : 'refused', ratio ? ratio.toFixed(2) : '-');
    }
    console.log('| ' + cells.join(' | ') + ' |');
  }
  for (const [mode, r] of Object.entries(ratios))
    if (r.length) console.log(`\n${mode}: page / native from ${Math.min(...r).toFixed(2)} to ${Math.max(...r).toFixed(2)}`);
  await browser.close();
  await server.close();
  fs.rmSync(out, { recursive: true, force: true });
}

main().catch(e => {
  console.error(e);
  process.exitCode = 1;
});
