// Runs the converter (compiled to WebAssembly) off the page's thread, so that
// a huge or hostile song cannot freeze the page: the page can end this worker
// at any time and start another. scripts/web.sh puts this file after the
// converter's tonequill.js in one script, which the page starts as a worker.
"use strict";

const ready = createTonequill({
  print: () => {},
  printErr: () => {},
});
let jobs = 0;

function bytesOf(module, pointer, size) {
  return module.HEAPU8.slice(pointer, pointer + size);
}

function namesIn(module, folder) {
  return module.FS.readdir(folder).filter((name) => name !== "." && name !== "..");
}

// Runs one program with its arguments in the folder, as a command line would,
// and returns its exit status, what it printed, its hint lines (those of the
// log that the user should see) and the files it made.
function run(module, folder, program, args) {
  const before = new Set(namesIn(module, folder));
  const status = module.ccall("tonequill_web_run", "number", ["string", "string"], [program, args.join("\n")]);
  const decoder = new TextDecoder();
  const made = {};
  for (const name of namesIn(module, folder)) {
    if (!before.has(name)) made[name] = module.FS.readFile(folder + "/" + name);
  }
  return {
    status,
    out: decoder.decode(bytesOf(module, module._tonequill_web_out(), module._tonequill_web_out_size())),
    log: decoder.decode(bytesOf(module, module._tonequill_web_log(), module._tonequill_web_log_size())),
    hints: decoder.decode(bytesOf(module, module._tonequill_web_hints(), module._tonequill_web_hints_size()))
      .split("\n").filter((line) => line !== ""),
    made,
  };
}

// Each job works in a folder of its own, which it leaves empty.
function inFolder(module, files, work) {
  const folder = "/job" + ++jobs;
  module.FS.mkdir(folder);
  module.FS.chdir(folder);
  try {
    for (const [name, bytes] of Object.entries(files)) module.FS.writeFile(name, bytes);
    return work(folder);
  } finally {
    for (const name of namesIn(module, folder)) module.FS.unlink(folder + "/" + name);
    module.FS.chdir("/");
    module.FS.rmdir(folder);
  }
}

onmessage = async (event) => {
  const job = event.data;
  try {
    const module = await ready;
    const files = { [job.song]: job.midi };
    if (job.mapping !== null) files["tve.txt"] = job.mapping;
    // "--": a song whose name starts with "-" is still a file.
    const result = inFolder(module, files, (folder) => {
      if (job.kind === "split") return { split: run(module, folder, "tonequill-split", ["--", job.song]) };
      const convert = run(module, folder, "tonequill", ["--", job.song]);
      const report = run(module, folder, "tonequill-report", ["--svg", "roll.svg", "--", job.song]);
      return { convert, report };
    });
    postMessage({ id: job.id, ...result });
  } catch (e) {
    postMessage({ id: job.id, failure: String(e && e.message ? e.message : e) });
  }
};
