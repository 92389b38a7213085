// The page: takes a song and a mapping file, hands them to the worker that
// runs the converter, and shows what the command line would have shown.
"use strict";

const $ = (id) => document.getElementById(id);
const state = {
  song: null,        // { name, bytes }
  ownMapping: null,  // { name, bytes }: kept while the page is open
  worker: null,
  job: 0,
  urls: [],
};

function mappingChoice() {
  return document.querySelector('input[name="mapping"]:checked').value;
}

// The mapping file the song is converted with, as bytes, or null for none.
function mappingBytes() {
  const choice = mappingChoice();
  if (choice === "own") return state.ownMapping ? state.ownMapping.bytes : null;
  if (choice === "example") return new TextEncoder().encode(self.tonequillExampleMapping);
  return null;
}

function setBusy(busy, text) {
  $("convert").disabled = busy || !state.song;
  $("split").disabled = busy || !state.song;
  $("cancel").disabled = !busy;
  $("status").textContent = text;
  $("status").classList.toggle("working", busy);
}

// The worker's script comes with the page (worker-source.js), so the page
// works from a web server and opened straight from the disk alike.
const workerUrl = URL.createObjectURL(new Blob([self.tonequillWorkerSource], { type: "text/javascript" }));

function newWorker() {
  if (state.worker) state.worker.terminate();
  state.worker = new Worker(workerUrl);
  state.worker.onmessage = (event) => finished(event.data);
  state.worker.onerror = (event) => {
    event.preventDefault();
    finished({ id: state.job, failure: event.message || "the converter stopped" });
  };
}

function start(kind) {
  if (!state.song) return;
  if (!state.worker) newWorker();
  state.job += 1;
  const mapping = mappingBytes();
  setBusy(true, kind === "split" ? "Splitting " + state.song.name + "…" : "Converting " + state.song.name + "…");
  state.worker.postMessage({
    id: state.job,
    kind,
    song: state.song.name,
    midi: state.song.bytes,
    mapping,
  });
}

function cancel() {
  // Ending the worker ends the run at once, however long the song.
  newWorker();
  state.job += 1;
  setBusy(false, "Cancelled.");
}

function forgetDownloads() {
  for (const url of state.urls) URL.revokeObjectURL(url);
  state.urls = [];
  $("downloads").replaceChildren();
}

function offerDownload(name, bytes, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  state.urls.push(url);
  const link = document.createElement("a");
  link.href = url;
  link.download = name;
  link.textContent = "Download " + name;
  $("downloads").append(link);
  return url;
}

// The run's hint lines (a warning, a place in the mapping file, what to do
// with a format-0 song): shown where they are seen, not only among the
// progress lines.
function showHints(hints) {
  $("hints").replaceChildren(...hints.map((line) => {
    const item = document.createElement("li");
    item.textContent = line;
    return item;
  }));
  $("hints-part").hidden = hints.length === 0;
}

function showRun(title, run) {
  $("results").hidden = false;
  $("result-title").textContent = title;
  $("exit").textContent = "exit status " + run.status + (run.status === 0 ? "" : " (failed)");
  $("exit").className = run.status === 0 ? "ok" : "failed";
  $("out").textContent = run.out;
  $("log").textContent = run.log;
  showHints(run.hints);
}

function finished(result) {
  if (result.id !== state.job) return;  // a cancelled job
  setBusy(false, "");
  forgetDownloads();
  if (result.failure) {
    $("results").hidden = false;
    $("exit").textContent = "The converter stopped: " + result.failure;
    $("exit").className = "failed";
    return;
  }
  if (result.split) {
    showRun("Split " + state.song.name, result.split);
    $("report-part").hidden = true;
    for (const [name, bytes] of Object.entries(result.split.made)) {
      offerDownload(name, bytes, "audio/midi");
      const use = document.createElement("button");
      use.type = "button";
      use.textContent = "Convert " + name;
      use.addEventListener("click", () => chooseSong(name, bytes, true));
      $("downloads").append(use);
    }
    $("status").textContent = result.split.status === 0 ? "Split done." : "Split failed.";
    return;
  }
  showRun("Converted " + state.song.name, result.convert);
  for (const [name, bytes] of Object.entries(result.convert.made)) offerDownload(name, bytes, "text/plain");
  $("report-part").hidden = false;
  $("report").textContent = result.report.out;
  $("picture").replaceChildren();
  const svg = result.report.made["roll.svg"];
  if (svg) {
    // As an image, the picture can run no script.
    const image = document.createElement("img");
    image.alt = "Piano roll of " + state.song.name;
    image.src = URL.createObjectURL(new Blob([svg], { type: "image/svg+xml" }));
    state.urls.push(image.src);
    $("picture").append(image);
  }
  $("status").textContent = result.convert.status === 0 ? "Done." : "The conversion failed.";
}

// File names reach the converter as they are, bar folder separators.
function plainName(name) {
  return name.replace(/[\/\\\n\r\0]/g, "_") || "song.mid";
}

function chooseSong(name, bytes, convertNow) {
  state.song = { name: plainName(name), bytes };
  $("song-name").textContent = state.song.name;
  setBusy(false, "");
  if (convertNow) start("convert");
}

function chooseMapping(name, bytes) {
  state.ownMapping = { name, bytes };
  $("mapping-name").textContent = name;
  $("mapping-own").checked = true;
}

async function takeFiles(files) {
  let song = null;
  for (const file of files) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    if (/\.txt$/i.test(file.name)) chooseMapping(file.name, bytes);
    else song = { name: file.name, bytes };
  }
  if (song) chooseSong(song.name, song.bytes, true);
  else if (state.song) start("convert");
}

$("song").addEventListener("change", (event) => takeFiles(event.target.files));
$("mapping-file").addEventListener("change", (event) => takeFiles(event.target.files));
for (const radio of document.querySelectorAll('input[name="mapping"]')) {
  radio.addEventListener("change", () => {
    if (mappingChoice() === "own" && !state.ownMapping) $("mapping-file").click();
    else if (state.song) start("convert");
  });
}
$("convert").addEventListener("click", () => start("convert"));
$("split").addEventListener("click", () => start("split"));
$("cancel").addEventListener("click", cancel);
$("show-example").addEventListener("click", (event) => {
  event.preventDefault();
  $("example-text").textContent = self.tonequillExampleMapping;
  $("example-dialog").showModal();
});

document.addEventListener("dragover", (event) => {
  event.preventDefault();
  document.body.classList.add("dragging");
});
document.addEventListener("dragleave", () => document.body.classList.remove("dragging"));
document.addEventListener("drop", (event) => {
  event.preventDefault();
  document.body.classList.remove("dragging");
  takeFiles(event.dataTransfer.files);
});
newWorker();
