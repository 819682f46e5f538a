// window.anivert: the converter for the page and for other scripts.
//   anivert.convert(bytes, options) -> Promise<{ ok, movie, reason, salvaged, stopped, width, height, frames, testPage }>
//   options: { compact, salvage, loopGif, url, name, testPage, onProgress(stage, done, total) }
//   anivert.stop() stops the running conversion and every waiting one.
//   anivert.version is the converter's version once anivert.ready has resolved.
// Conversions run one after the other in a worker, so that the page stays
// responsive; all options off make the default movie.
"use strict";

(function () {
  const here = new URL(".", document.currentScript ? document.currentScript.src : location.href);
  const waiting = [];
  let running = null;
  let worker = null;
  let nextId = 1;

  function failure(reason, extra) {
    return Object.assign({ ok: false, movie: null, reason, salvaged: "", stopped: false, width: 0, height: 0,
                           frames: 0, testPage: null }, extra || {});
  }

  // A worker and the promise of its core having loaded.
  function startWorker() {
    const w = new Worker(new URL("worker.js", here));
    const started = new Promise((resolve, reject) => {
      w.addEventListener("message", function first(event) {
        if (event.data.type !== "ready" && event.data.type !== "broken") return;
        w.removeEventListener("message", first);
        if (event.data.type === "ready") {
          window.anivert.version = event.data.version;
          resolve();
        }
        else reject(new Error(event.data.reason));
      });
      w.addEventListener("error", (event) => reject(new Error(event.message || "the converter could not start")));
    });
    w.addEventListener("message", (event) => onMessage(w, event.data));
    w.addEventListener("error", (event) => {
      event.preventDefault();
      onBroken(w, event.message || "the converter failed");
    });
    worker = { w, started };
    return started;
  }

  function onMessage(w, message) {
    if (!worker || worker.w !== w || !running || message.id !== running.id) return;
    if (message.type === "progress") {
      if (running.onProgress) {
        try {
          running.onProgress(message.stage, message.done, message.total);
        } catch (error) {
          console.error(error);
        }
      }
    } else if (message.type === "result") {
      finish(Object.assign({ stopped: false }, message.result));
    } else if (message.type === "broken") {
      onBroken(w, message.reason);
    }
  }

  // A worker that failed outside a conversion's own reasons is replaced;
  // the file it held fails with that reason.
  function onBroken(w, reason) {
    if (!worker || worker.w !== w) return;
    w.terminate();
    worker = null;
    if (running) finish(failure(reason));
  }

  function finish(result) {
    const job = running;
    running = null;
    job.resolve(result);
    next();
  }

  function next() {
    if (running || waiting.length === 0) return;
    running = waiting.shift();
    const job = running;
    const started = worker ? worker.started : startWorker();
    started.then(
      () => {
        if (running !== job) return;
        // The bytes are the caller's: the worker gets a copy.
        worker.w.postMessage({ id: job.id, bytes: job.bytes.slice(), options: job.options });
      },
      (error) => {
        if (running !== job) return;
        worker = null;
        finish(failure(error.message));
      }
    );
  }

  function convert(bytes, options) {
    options = options || {};
    if (!(bytes instanceof Uint8Array)) bytes = new Uint8Array(bytes);
    const plain = {
      compact: !!options.compact,
      salvage: !!options.salvage,
      loopGif: !!options.loopGif,
      url: options.url ? String(options.url) : "",
      name: options.name ? String(options.name) : "movie.gif",
      testPage: !!options.testPage,
    };
    return new Promise((resolve) => {
      waiting.push({ id: nextId++, bytes, options: plain, onProgress: options.onProgress, resolve });
      next();
    });
  }

  function stop() {
    const stopped = failure("Stopped.", { stopped: true });
    const jobs = waiting.splice(0);
    if (running) {
      jobs.unshift(running);
      running = null;
      if (worker) worker.w.terminate();
      worker = null;
    }
    for (const job of jobs) job.resolve(stopped);
    // The next conversion finds a worker ready.
    if (!worker) startWorker().catch(() => {});
  }

  window.anivert = { ready: startWorker(), convert, stop };
})();
