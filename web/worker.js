// The converter's thread: loads the WebAssembly core and converts one GIF
// per message, telling its progress as it goes. A conversion holds this
// thread until it ends; the page stops one by ending the worker.
"use strict";

importScripts("anivert-core.js");

const Stages = ["loading", "composing", "writing"];
const Flags = { compact: 1, salvage: 2, loopGif: 4, testPage: 8 };
let current = 0;

const core = createAnivertCore({
  onProgress(stage, done, total) {
    postMessage({ type: "progress", id: current, stage: Stages[stage] || "loading", done, total });
  },
  // The core prints nothing a user needs; a failure comes back as a result.
  print() {},
  printErr() {},
});

core.then(
  (module) => postMessage({ type: "ready", version: module.UTF8ToString(module._anivert_version()) }),
  (error) => postMessage({ type: "broken", reason: "the converter could not start: " + String(error && error.message || error) })
);

// A zero-ended UTF-8 copy of text in the core's memory (0 when it has none).
function cString(module, text) {
  const bytes = new TextEncoder().encode(text || "");
  const at = module._malloc(bytes.length + 1);
  if (!at) return 0;
  module.HEAPU8.set(bytes, at);
  module.HEAPU8[at + bytes.length] = 0;
  return at;
}

function convert(module, bytes, options) {
  let flags = 0;
  for (const [name, bit] of Object.entries(Flags)) if (options[name]) flags |= bit;
  const data = module._malloc(Math.max(1, bytes.length));
  const url = cString(module, options.url);
  const name = cString(module, options.name);
  if (!data || !url || !name) {
    for (const at of [data, url, name]) if (at) module._free(at);
    return { ok: false, movie: null, reason: "the GIF is larger than the memory the browser gives this page", salvaged: "",
             width: 0, height: 0, frames: 0, testPage: null };
  }
  module.HEAPU8.set(bytes, data);
  let result = 0;
  try {
    result = module._anivert_convert(data, bytes.length, flags, url, name);
  } finally {
    module._free(data);
    module._free(url);
    module._free(name);
  }
  try {
    const ok = module._anivert_ok(result) === 1;
    const at = module._anivert_movie(result);
    const size = module._anivert_movie_size(result);
    return {
      ok,
      movie: ok ? module.HEAPU8.slice(at, at + size) : null,
      reason: module.UTF8ToString(module._anivert_reason(result)),
      salvaged: module.UTF8ToString(module._anivert_salvaged(result)),
      width: module._anivert_width(result),
      height: module._anivert_height(result),
      frames: module._anivert_frames(result),
      testPage: ok && options.testPage ? module.UTF8ToString(module._anivert_test_page(result)) : null,
    };
  } finally {
    module._anivert_free(result);
  }
}

onmessage = async (event) => {
  const { id, bytes, options } = event.data;
  const module = await core;
  current = id;
  try {
    const result = convert(module, bytes, options || {});
    postMessage({ type: "result", id, result }, result.movie ? [result.movie.buffer] : []);
  } catch (error) {
    // The core itself failed (out of memory outside the conversion, or
    // worse): this worker is done; the page starts another.
    postMessage({ type: "broken", id, reason: "the converter failed: " + String(error && error.message || error) });
  }
};
