"use strict";

// The page around the converter: picking and dropping GIFs, one conversion at a time,
// the list of files, downloads (single and zipped) and the side-by-side preview.
(() => {
  const $ = (id) => document.getElementById(id);

  const ui = {
    zone: $("drop-zone"),
    files: $("files"),
    folder: $("folder"),
    pickFiles: $("pick-files"),
    pickFolder: $("pick-folder"),
    dropNote: $("drop-note"),
    converterState: $("converter-state"),
    section: $("files-section"),
    summary: $("summary"),
    list: $("files-list"),
    stop: $("stop"),
    downloadAll: $("download-all"),
    clear: $("clear"),
    announcer: $("announcer"),
    listTitle: $("files-title"),
    rowTemplate: $("row-template"),
    previewTemplate: $("preview-template"),
  };

  const opt = {
    compact: $("compact"),
    salvage: $("salvage"),
    loop: $("loop-gif"),
    testPages: $("test-pages"),
    url: $("url"),
  };

  // A salvaged file is done (it has its movie); the line under it says what was salvaged.
  const BADGE = {
    waiting: "Waiting",
    converting: "Converting",
    done: "Done",
    failed: "Failed",
    salvaged: "Done",
    stopped: "Stopped",
  };

  const rows = [];            // every file in the list, in the order added
  const waiting = [];         // rows not started yet, in the order added
  const usedNames = new Set(); // lower-case movie names given out, so no two downloads collide
  let running = null;         // the row converting now
  let converter = "loading";  // "loading" | "ready" | "failed"
  let converterError = "";
  let preview = null;         // { row, panel, gifUrl, player, resizes }
  let progressFrame = 0;
  let zipping = false;

  // ------------------------------------------------------------------ names and sizes

  const isGifName = (name) => /\.gif$/i.test(name);

  function movieBase(fileName) {
    return fileName.replace(/\.gif$/i, "") || "movie";
  }

  // "cat", then "cat (2)", "cat (3)"... Case-insensitive, as on the disks the zip lands on.
  function claimName(base) {
    let name = base;
    for (let n = 2; usedNames.has(name.toLowerCase()); n++) name = `${base} (${n})`;
    usedNames.add(name.toLowerCase());
    return name;
  }

  function formatSize(bytes) {
    if (bytes < 1024) return `${bytes}\u00a0${bytes === 1 ? "byte" : "bytes"}`;
    const units = ["KB", "MB", "GB"];
    let value = bytes / 1024;
    let unit = 0;
    while (value >= 1024 && unit < units.length - 1) {
      value /= 1024;
      unit++;
    }
    return `${value < 100 ? value.toFixed(1) : Math.round(value)}\u00a0${units[unit]}`;
  }

  const plural = (n, one, many) => `${n} ${n === 1 ? one : many}`;

  function announce(text) {
    // The same text twice in a row would not be read again.
    ui.announcer.textContent = ui.announcer.textContent === text ? `${text}\u00a0` : text;
  }

  // ------------------------------------------------------------------ rows

  function createRow(file, path) {
    const el = ui.rowTemplate.content.firstElementChild.cloneNode(true);
    const row = {
      file,
      name: file.name,
      base: claimName(movieBase(file.name)),
      state: "waiting",
      el,
      bar: el.querySelector(".bar"),
      detail: el.querySelector(".detail"),
      meta: el.querySelector(".meta"),
      badge: el.querySelector(".badge"),
      actions: el.querySelector(".row-actions"),
      downloadButton: el.querySelector(".download"),
      testPageButton: el.querySelector(".test-page"),
      previewButton: el.querySelector(".preview"),
      movie: null,
      testPage: null,
      result: null,
      progress: null,
      stopRequested: false,
      inConverter: false,
    };
    el.dataset.name = file.name;
    const nameEl = el.querySelector(".file-name");
    nameEl.textContent = file.name;
    if (path && path !== file.name) nameEl.title = path;
    row.bar.setAttribute("aria-label", `Converting ${file.name}`);
    row.downloadButton.setAttribute("aria-label", `Download ${row.base}.swf`);
    row.downloadButton.title = `${row.base}.swf`;
    row.testPageButton.setAttribute("aria-label", `Download the test page ${row.base}.html`);
    row.previewButton.setAttribute("aria-label", `Preview ${file.name}`);
    row.downloadButton.addEventListener("click", () => downloadMovie(row));
    row.testPageButton.addEventListener("click", () => downloadTestPage(row));
    row.previewButton.addEventListener("click", () => togglePreview(row));
    setState(row, "waiting", converter === "loading" ? "Waiting for the converter to load" : "");
    return row;
  }

  function setState(row, state, detail = "") {
    row.state = state;
    row.el.dataset.state = state;
    row.badge.textContent = BADGE[state];
    row.detail.textContent = detail;
    row.detail.hidden = detail === "";
    row.bar.hidden = state !== "converting";
    if (state === "converting") row.bar.removeAttribute("value");
    const finished = row.movie !== null;
    row.actions.hidden = !finished;
    row.testPageButton.hidden = !(finished && row.testPage && opt.testPages.checked);
  }

  function addFiles(found) {
    if (found.length === 0) return;
    for (const { file, path } of found) {
      const row = createRow(file, path);
      rows.push(row);
      ui.list.append(row.el);
      if (converter === "failed") {
        setState(row, "failed", converterError);
      } else {
        waiting.push(row);
      }
    }
    ui.section.hidden = false;
    announce(`${plural(found.length, "file", "files")} added.`);
    updateControls();
    pump();
  }

  function noteSkipped(skipped) {
    ui.dropNote.hidden = skipped === 0;
    ui.dropNote.textContent = skipped === 0 ? "" :
      skipped === 1 ? "Skipped 1 file that is not a GIF." : `Skipped ${skipped} files that are not GIFs.`;
  }

  function updateControls() {
    const busy = running !== null || waiting.length > 0;
    ui.stop.disabled = !busy;
    ui.downloadAll.disabled = !rows.some((row) => row.movie !== null);
    ui.clear.disabled = busy || rows.length === 0;
    ui.section.hidden = rows.length === 0;
    updateSummary();
  }

  function updateSummary() {
    const counts = {};
    for (const row of rows) counts[row.state] = (counts[row.state] || 0) + 1;
    const parts = [];
    for (const state of ["done", "salvaged", "failed", "stopped", "converting", "waiting"]) {
      if (counts[state]) parts.push(`${counts[state]} ${state}`);
    }
    ui.summary.textContent = parts.join(" · ");
  }

  // ------------------------------------------------------------------ converting, one at a time

  // Our own queue rather than the converter's: the options are read when a file starts,
  // so a change reaches every file still waiting.
  async function pump() {
    if (running !== null || converter !== "ready") return;
    const row = waiting.shift();
    if (!row) return;
    running = row;
    row.progress = null;
    setState(row, "converting", "Starting…");
    updateControls();
    const result = await convertRow(row);
    running = null;
    finish(row, result);
    updateControls();
    pump();
  }

  async function convertRow(row) {
    let bytes;
    try {
      bytes = new Uint8Array(await row.file.arrayBuffer());
    } catch (error) {
      return { ok: false, stopped: false, reason: "The file could not be read." };
    }
    if (row.stopRequested) return { ok: false, stopped: true, reason: "Stopped." };
    row.inConverter = true;
    try {
      return await window.anivert.convert(bytes, readOptions(row));
    } catch (error) {
      return { ok: false, stopped: false, reason: messageOf(error) };
    } finally {
      row.inConverter = false;
    }
  }

  function readOptions(row) {
    const options = {
      compact: opt.compact.checked,
      salvage: opt.salvage.checked,
      loopGif: opt.loop.checked,
      // The movie's own name, so that a renamed "cat (2).swf" is the one its test page embeds.
      name: `${row.base}.gif`,
      // Always made (it is a little text): the checkbox decides what the downloads offer,
      // and can then be changed after the conversions.
      testPage: true,
      onProgress: (stage, done, total) => onProgress(row, stage, done, total),
    };
    const url = opt.url.value.trim();
    if (url !== "") options.url = url;
    return options;
  }

  function finish(row, result) {
    row.result = result;
    row.progress = null;
    if (result && result.ok && result.movie) {
      row.movie = result.movie;
      row.testPage = result.testPage || null;
      const salvaged = result.salvaged || "";
      setState(row, salvaged ? "salvaged" : "done", salvaged ? `Salvaged: ${salvaged}` : "");
      showSizes(row, result);
      announce(`${row.name}: ${salvaged ? "salvaged" : "done"}, ${formatSize(row.movie.length)} movie.`);
    } else if (result && result.stopped) {
      setState(row, "stopped");
      // After the Stop button, "Stopped." has been said already.
      if (!row.stopRequested) announce(`${row.name}: stopped.`);
    } else {
      const reason = (result && result.reason) || "The conversion failed.";
      setState(row, "failed", reason);
      announce(`${row.name}: failed. ${reason}`);
    }
  }

  function showSizes(row, result) {
    const sizes = `${formatSize(row.movie.length)} movie · GIF ${formatSize(row.file.size)}`;
    const shape = `${plural(result.frames, "frame", "frames")} · ${result.width}\u00a0×\u00a0${result.height}`;
    row.meta.textContent = `${sizes} · ${shape}`;
    row.meta.hidden = false;
  }

  const STAGE_ORDER = { loading: 0, composing: 1, writing: 2 };

  // Progress can come far more often than the screen is drawn: keep the last, draw once a frame.
  // Frames are still read while earlier ones are composed: a report of an earlier stage than
  // the one shown would only make the bar jump back, so it is left out.
  function onProgress(row, stage, done, total) {
    const order = STAGE_ORDER[stage] ?? 0;
    if (row.progress && order < (STAGE_ORDER[row.progress.stage] ?? 0)) return;
    row.progress = { stage, done, total };
    if (!progressFrame) progressFrame = requestAnimationFrame(drawProgress);
  }

  function drawProgress() {
    progressFrame = 0;
    const row = running;
    if (!row || row.state !== "converting" || !row.progress || row.stopRequested) return;
    const { text, value } = describeProgress(row.progress);
    if (value === null) row.bar.removeAttribute("value");
    else row.bar.value = value;
    row.detail.textContent = text;
    row.detail.hidden = false;
  }

  // One bar for the whole conversion: composing fills the first 90 %, writing the rest.
  function describeProgress({ stage, done, total }) {
    const fraction = total > 0 ? Math.min(1, Math.max(0, done / total)) : 0;
    if (stage === "composing") {
      return { text: total > 0 ? `Composing frames: ${done} of ${total}` : "Composing frames…", value: 90 * fraction };
    }
    if (stage === "writing") {
      return { text: `Writing the movie: ${Math.round(100 * fraction)}%`, value: 90 + 10 * fraction };
    }
    if (total > 0) return { text: `Reading the GIF: ${done} of ${total}`, value: 0 };
    return { text: done > 0 ? `Reading the GIF: ${plural(done, "frame", "frames")}` : "Reading the GIF…", value: null };
  }

  function stopAll() {
    const hadFocus = document.activeElement === ui.stop;
    for (const row of waiting.splice(0)) setState(row, "stopped");
    if (running) {
      running.stopRequested = true;
      running.detail.textContent = "Stopping…";
      // Only a file the converter holds needs it; one still being read stops by itself.
      if (running.inConverter) {
        try {
          window.anivert.stop();
        } catch (error) {
          console.error(error);
        }
      }
    }
    announce("Stopped.");
    updateControls();
    // The button is now disabled: keep the keyboard in the list rather than lose it.
    if (hadFocus) ui.listTitle.focus();
  }

  function clearList() {
    if (running || waiting.length) return;
    closePreview();
    rows.length = 0;
    usedNames.clear();
    ui.list.replaceChildren();
    noteSkipped(0);
    announce("The list is empty.");
    updateControls();
    ui.pickFiles.focus();
  }

  function messageOf(error) {
    return (error && error.message) || String(error);
  }

  // ------------------------------------------------------------------ the converter loading

  function watchConverter() {
    const api = window.anivert;
    if (!api || !api.ready) {
      converterFailed(new Error("anivert.js did not load."));
      return;
    }
    Promise.resolve(api.ready).then(() => {
      converter = "ready";
      if (api.version) $("version").textContent = ` Anivert ${api.version}.`;
      ui.converterState.hidden = true;
      ui.converterState.textContent = "";
      for (const row of waiting) setState(row, "waiting");
      pump();
    }, converterFailed);
  }

  function converterFailed(error) {
    converter = "failed";
    converterError = `The converter could not load: ${messageOf(error)}`;
    ui.converterState.textContent = `${converterError} Reload the page to try again.`;
    ui.converterState.classList.add("error");
    ui.converterState.hidden = false;
    for (const row of waiting.splice(0)) setState(row, "failed", converterError);
    updateControls();
  }

  // ------------------------------------------------------------------ picking and dropping

  function onFilesPicked() {
    const found = Array.from(ui.files.files, (file) => ({ file, path: file.name }));
    ui.files.value = ""; // picking the same files again still reports a change
    noteSkipped(0);
    addFiles(found);
  }

  function onFolderPicked() {
    const all = Array.from(ui.folder.files, (file) => ({ file, path: file.webkitRelativePath || file.name }));
    ui.folder.value = "";
    const gifs = all.filter(({ file }) => takesFromFolder(file.name));
    gifs.sort(byPath);
    noteSkipped(all.length - gifs.length);
    addFiles(gifs);
  }

  // macOS leaves "._name.gif" companions beside copied files: they are not pictures.
  const takesFromFolder = (name) => isGifName(name) && !name.startsWith("._");

  const collator = new Intl.Collator(undefined, { numeric: true, sensitivity: "base" });
  const byPath = (a, b) => collator.compare(a.path, b.path);

  const carriesFiles = (event) =>
    Boolean(event.dataTransfer) && Array.from(event.dataTransfer.types).includes("Files");

  let dragDepth = 0;

  function onDragEnter(event) {
    if (!carriesFiles(event)) return;
    dragDepth++;
    ui.zone.classList.add("dragging");
  }

  function onDragLeave(event) {
    if (!carriesFiles(event)) return;
    dragDepth = Math.max(0, dragDepth - 1);
    if (dragDepth === 0) ui.zone.classList.remove("dragging");
  }

  function onDragOver(event) {
    if (!carriesFiles(event)) return;
    event.preventDefault(); // otherwise the browser opens the file instead of giving it to us
    event.dataTransfer.dropEffect = "copy";
  }

  function onDrop(event) {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    dragDepth = 0;
    ui.zone.classList.remove("dragging");
    // The items are only readable during the event: take the entries now, walk them later.
    const { entries, loose } = takeDropped(event.dataTransfer);
    walkDropped(entries, loose).then(({ found, skipped }) => {
      noteSkipped(skipped);
      if (found.length === 0 && skipped > 0) announce("No .gif files in what was dropped.");
      addFiles(found);
    }, (error) => {
      console.error(error);
      announce("The dropped files could not be read.");
    });
  }

  function takeDropped(dataTransfer) {
    const entries = [];
    const loose = [];
    if (dataTransfer.items) {
      for (const item of Array.from(dataTransfer.items)) {
        if (item.kind !== "file") continue;
        const entry = typeof item.webkitGetAsEntry === "function" ? item.webkitGetAsEntry() : null;
        if (entry) {
          entries.push(entry);
        } else {
          const file = item.getAsFile();
          if (file) loose.push(file);
        }
      }
    } else {
      loose.push(...Array.from(dataTransfer.files));
    }
    return { entries, loose };
  }

  async function walkDropped(entries, loose) {
    const acc = { found: [], skipped: 0 };
    for (const file of loose) {
      if (isGifName(file.name) || file.type === "image/gif") acc.found.push({ file, path: file.name });
      else acc.skipped++;
    }
    for (const entry of entries) {
      if (entry.isFile) {
        // A file dropped by itself: taken if it is a GIF by name or type.
        const file = await fileOf(entry);
        if (file && (isGifName(file.name) || file.type === "image/gif")) acc.found.push({ file, path: file.name });
        else acc.skipped++;
      } else if (entry.isDirectory) {
        await walkFolder(entry, acc);
      }
    }
    return acc;
  }

  async function walkFolder(dir, acc) {
    const children = await readFolder(dir);
    children.sort((a, b) => collator.compare(a.name, b.name));
    for (const child of children) {
      if (child.isDirectory) {
        await walkFolder(child, acc);
      } else if (child.isFile && takesFromFolder(child.name)) {
        const file = await fileOf(child);
        if (file) acc.found.push({ file, path: child.fullPath.replace(/^\//, "") });
      } else {
        acc.skipped++;
      }
    }
  }

  // readEntries hands out a folder in batches; an empty batch ends it.
  async function readFolder(dir) {
    const reader = dir.createReader();
    const all = [];
    for (;;) {
      const batch = await new Promise((resolve) => reader.readEntries(resolve, () => resolve([])));
      if (batch.length === 0) return all;
      all.push(...batch);
    }
  }

  const fileOf = (entry) => new Promise((resolve) => entry.file(resolve, () => resolve(null)));

  // ------------------------------------------------------------------ downloads

  function saveBlob(blob, fileName) {
    const url = URL.createObjectURL(blob);
    const link = document.createElement("a");
    link.href = url;
    link.download = fileName;
    link.hidden = true;
    document.body.append(link);
    link.click();
    link.remove();
    // The download reads the URL after click() returns: revoke it a while later.
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  function downloadMovie(row) {
    if (!row.movie) return;
    saveBlob(new Blob([row.movie], { type: "application/x-shockwave-flash" }), `${row.base}.swf`);
  }

  function downloadTestPage(row) {
    if (!row.testPage) return;
    saveBlob(new Blob([row.testPage], { type: "text/html" }), `${row.base}.html`);
  }

  function downloadAll() {
    if (zipping) return;
    if (typeof window.fflate === "undefined") {
      announce("The zip writer did not load: download the movies one by one.");
      return;
    }
    const finished = rows.filter((row) => row.movie !== null);
    if (finished.length === 0) return;
    // Not disabled meanwhile, which would throw the keyboard focus off the button.
    zipping = true;
    ui.downloadAll.setAttribute("aria-busy", "true");
    ui.downloadAll.textContent = "Zipping…";
    // Let the button's new text show before the (synchronous) zipping.
    setTimeout(() => {
      try {
        saveBlob(new Blob([zipMovies(finished)], { type: "application/zip" }), "anivert-movies.zip");
        announce(`Zipped ${plural(finished.length, "movie", "movies")}.`);
      } catch (error) {
        console.error(error);
        announce(`The zip could not be made: ${messageOf(error)}`);
      } finally {
        zipping = false;
        ui.downloadAll.removeAttribute("aria-busy");
        ui.downloadAll.textContent = "Download all (.zip)";
        updateControls();
      }
    }, 30);
  }

  function zipMovies(finished) {
    const withPages = opt.testPages.checked;
    const entries = {};
    for (const row of finished) {
      // Movies are compressed already (or meant to be stored as they are): store them.
      entries[`${row.base}.swf`] = [row.movie, { level: 0 }];
      if (withPages && row.testPage) entries[`${row.base}.html`] = [window.fflate.strToU8(row.testPage), { level: 6 }];
    }
    return window.fflate.zipSync(entries);
  }

  function onTestPagesChanged() {
    for (const row of rows) {
      row.testPageButton.hidden = !(row.movie && row.testPage && opt.testPages.checked);
    }
  }

  // ------------------------------------------------------------------ preview

  let rufflePromise = null;

  function loadRuffle() {
    if (window.RufflePlayer && typeof window.RufflePlayer.newest === "function") return Promise.resolve();
    if (!rufflePromise) {
      rufflePromise = new Promise((resolve, reject) => {
        window.RufflePlayer = window.RufflePlayer || {};
        window.RufflePlayer.config = {
          publicPath: "ruffle/",
          autoplay: "on",
          unmuteOverlay: "hidden",
          splashScreen: false,
          letterbox: "on",
          openUrlMode: "confirm",
          contextMenu: "on",
        };
        const script = document.createElement("script");
        script.src = "ruffle/ruffle.js";
        script.onload = () => resolve();
        script.onerror = () => {
          rufflePromise = null;
          script.remove();
          reject(new Error("The player (ruffle/ruffle.js) could not be loaded."));
        };
        document.head.append(script);
      });
    }
    return rufflePromise;
  }

  function togglePreview(row) {
    if (preview && preview.row === row) closePreview();
    else openPreview(row);
  }

  function openPreview(row) {
    closePreview();
    if (!row.movie || !row.result) return;
    const panel = ui.previewTemplate.content.firstElementChild.cloneNode(true);
    panel.setAttribute("aria-label", `Preview of ${row.name}`);
    const width = Math.max(1, row.result.width);
    const height = Math.max(1, row.result.height);
    panel.style.setProperty("--w", width);
    panel.style.setProperty("--h", height);
    const img = panel.querySelector("#preview-gif");
    const gifUrl = URL.createObjectURL(row.file);
    img.src = gifUrl;
    img.alt = `${row.name}, as your browser shows it`;
    img.width = width;
    img.height = height;
    panel.addEventListener("keydown", (event) => {
      if (event.key === "Escape") {
        closePreview();
        row.previewButton.focus();
      }
    });
    row.el.append(panel);
    const resizes = new ResizeObserver(() => snapStages(panel));
    resizes.observe(panel);
    resizes.observe(document.body);
    preview = { row, panel, gifUrl, player: null, resizes };
    setPreviewButton(row, true);
    panel.scrollIntoView({ block: "nearest", behavior: matchMedia("(prefers-reduced-motion: reduce)").matches ? "auto" : "smooth" });
    playMovie(row, panel.querySelector("#preview-movie"));
  }

  async function playMovie(row, container) {
    try {
      await loadRuffle();
      if (!preview || preview.row !== row) return; // closed while the player loaded
      const player = window.RufflePlayer.newest().createPlayer();
      player.classList.add("player");
      container.append(player);
      preview.player = player;
      const api = typeof player.ruffle === "function" ? player.ruffle() : player;
      await api.load({ data: row.movie, swfFileName: `${row.base}.swf` });
    } catch (error) {
      if (!preview || preview.row !== row) return;
      console.error(error);
      const message = document.createElement("p");
      message.className = "player-error";
      message.textContent = `The movie cannot be played here: ${messageOf(error)}`;
      container.replaceChildren(message);
    }
  }

  function closePreview() {
    if (!preview) return;
    const { row, panel, gifUrl, player, resizes } = preview;
    preview = null;
    resizes.disconnect();
    if (player) removePlayer(player);
    panel.remove();
    URL.revokeObjectURL(gifUrl);
    setPreviewButton(row, false);
  }

  // A stage that falls between device pixels is drawn blurred, and a pixel larger:
  // nudge both pictures onto whole pixels.
  function snapStages(panel) {
    const ratio = window.devicePixelRatio || 1;
    // Moved by layout (relative position), not by a transform: a transformed player is
    // drawn where its layout put it and then shifted, which blurs it all the same.
    for (const stage of panel.querySelectorAll(".stage")) {
      stage.style.left = "";
      stage.style.top = "";
      const box = stage.getBoundingClientRect();
      const dx = Math.round(box.left * ratio) / ratio - box.left;
      const dy = Math.round(box.top * ratio) / ratio - box.top;
      if (Math.abs(dx) > 0.001) stage.style.left = `${dx}px`;
      if (Math.abs(dy) > 0.001) stage.style.top = `${dy}px`;
    }
  }

  // A removed player keeps its WebGL context for a while, and browsers allow only a few:
  // give it back at once so that many previews in a row keep working.
  function removePlayer(player) {
    const canvas = player.shadowRoot && player.shadowRoot.querySelector("canvas");
    let gl = null;
    try {
      gl = canvas && (canvas.getContext("webgl2") || canvas.getContext("webgl"));
    } catch (error) {
      gl = null;
    }
    player.remove();
    const lose = gl && gl.getExtension("WEBGL_lose_context");
    if (lose) lose.loseContext();
  }

  function setPreviewButton(row, open) {
    row.previewButton.setAttribute("aria-expanded", String(open));
    row.previewButton.textContent = open ? "Hide preview" : "Preview";
    row.previewButton.setAttribute("aria-label", `${open ? "Hide the preview of" : "Preview"} ${row.name}`);
    row.el.classList.toggle("previewing", open);
  }

  // ------------------------------------------------------------------ wiring

  ui.pickFiles.addEventListener("click", () => ui.files.click());
  ui.pickFolder.addEventListener("click", () => ui.folder.click());
  ui.files.addEventListener("change", onFilesPicked);
  ui.folder.addEventListener("change", onFolderPicked);
  ui.stop.addEventListener("click", stopAll);
  ui.downloadAll.addEventListener("click", downloadAll);
  ui.clear.addEventListener("click", clearList);
  opt.testPages.addEventListener("change", onTestPagesChanged);
  document.addEventListener("dragenter", onDragEnter);
  document.addEventListener("dragleave", onDragLeave);
  document.addEventListener("dragover", onDragOver);
  document.addEventListener("drop", onDrop);

  if (!("webkitdirectory" in ui.folder)) ui.pickFolder.hidden = true;

  watchConverter();
})();
