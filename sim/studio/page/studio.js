// The studio's page: the Settings application's page with a control over each row, the home
// screen's controls with the sounds they make played through Web Audio, the sounds table, and the
// journal of both hosts. Everything it asks for is on this server, under /api/ (docs/studio.md).
"use strict";

// --- the session ------------------------------------------------------------------------------

// The token is in the address's fragment, which never reaches the server. The cookie carries it
// for what the page cannot give a header to (the event stream, pictures).
const token = new URLSearchParams(location.hash.slice(1)).get("token") || "";
document.cookie = "plinka-token=" + token + "; SameSite=Strict; path=/api/";

const $ = (selector, root = document) => root.querySelector(selector);

function make(tag, attributes = {}, text) {
  const element = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value !== undefined && value !== null && value !== false) element.setAttribute(name, value);
  }
  if (text !== undefined) element.textContent = text;
  return element;
}

function say(message, bad = false) {
  const status = $("#status");
  status.textContent = message;
  status.classList.toggle("bad", bad);
}

// A request under /api/: the answer's JSON (or the response itself for `raw`), with `status`.
async function api(path, options = {}) {
  const headers = Object.assign({ "X-Plinka-Token": token }, options.headers || {});
  const response = await fetch(path, Object.assign({}, options, { headers }));
  if (options.raw) return response;
  let body = null;
  try {
    body = await response.json();
  } catch (error) {
    body = { error: "the answer was no JSON (" + response.status + ")" };
  }
  body.status = response.status;
  return body;
}

// A script word: quoted, with \" and \\ inside.
function quoted(text) {
  return '"' + String(text).replace(/\\/g, "\\\\").replace(/"/g, '\\"') + '"';
}

// Lines go to the device one after the other, in the order they were made.
let lineChain = Promise.resolve();
function sendLine(host, line) {
  const sent = lineChain.then(async () => {
    const answer = await api("/api/" + host, {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify({ line }),
    });
    if (answer.ok) say(line);
    else say(line + ": " + (answer.error || "refused (" + answer.status + ")"), true);
    return answer;
  });
  lineChain = sent.catch(() => {});
  return sent;
}

// --- the phone --------------------------------------------------------------------------------

const appearance = $("#appearance");
let screenAsked = 0;
let pictureUrl = null;

// The page on top: its picture and its rows, fetched together and shown together.
async function refreshScreen() {
  const asked = ++screenAsked;
  const linesBefore = settingsLines;
  const [screen, picture] = await Promise.all([
    api("/api/screen"),
    api("/api/screen.png?scale=2&appearance=" + appearance.value, { raw: true }),
  ]);
  if (asked !== screenAsked) return;  // a newer refresh is on its way
  if (screen.status !== 200 || !picture.ok) {
    say("the screen: " + (screen.error || picture.status), true);
    return;
  }
  const url = URL.createObjectURL(await picture.blob());
  if (asked !== screenAsked) {
    URL.revokeObjectURL(url);
    return;
  }
  const image = $("#picture");
  image.src = url;
  try {
    await image.decode();
  } catch (error) {
    say("the screen's picture could not be shown", true);
  }
  if (pictureUrl) URL.revokeObjectURL(pictureUrl);
  pictureUrl = url;
  if (asked !== screenAsked) return;
  document.documentElement.style.setProperty("--phone-width", screen.width + "px");
  showRows(screen);
  showPresented(screen);
  const phone = $("#settings");
  phone.dataset.title = screen.title;
  phone.dataset.drawn = String(asked);
  phone.dataset.settingsLines = String(linesBefore);
  if (!window.plinkaFirstDrawn) window.plinkaFirstDrawn = performance.now();
}

// Settings lines answered; the screen shown says how many had been when it was asked for
// (<section id="settings" data-settings-lines>): a test waits for it to pass its line.
let settingsLines = 0;

function settingsLine(line) {
  return sendLine("settings", line).then((answer) => {
    ++settingsLines;
    refreshScreen();
    return answer;
  });
}

// What a finger does on each row: the row's control, where its cell is drawn.
function showRows(screen) {
  const rows = $("#rows");
  rows.replaceChildren();
  if (screen.back !== null) {
    const back = make("button", { type: "button", class: "back", "data-back": screen.back,
                                  "aria-label": "Back to " + screen.back }, "‹ " + screen.back);
    Object.assign(back.style, { left: "0px", top: "0px", width: "40%", height: "44px" });
    back.addEventListener("click", () => settingsLine("back"));
    rows.append(back);
  }
  for (const row of screen.rows) {
    if (row.type === "PSGroupCell") continue;
    const control = rowControl(row, screen.width);
    if (!control.dataset.placed) {
      Object.assign(control.style, { left: row.x + "px", top: row.y + "px",
                                     width: row.width + "px", height: row.height + "px" });
    }
    control.dataset.row = row.label;
    control.dataset.type = row.type;
    rows.append(control);
  }
}

const kMargin = 16;  // the cells' margins, where a segmented control or a slider begins and ends

function rowControl(row, width) {
  const name = quoted(row.label);
  switch (row.type) {
    case "PSSwitchCell": {
      const on = row.value === true;
      const control = make("button", { type: "button", role: "switch", "aria-checked": String(on),
                                       "aria-label": row.label });
      control.addEventListener("click", () => settingsLine("set " + name + (on ? " off" : " on")));
      return control;
    }
    case "PSSegmentCell": {
      // One button per segment, each over its share of the row between the margins.
      const control = make("div", { role: "group", "aria-label": row.label, class: "segments" });
      const titles = row.segments || [];
      const share = (width - 2 * kMargin) / Math.max(titles.length, 1);
      titles.forEach((title, i) => {
        const segment = make("button", { type: "button", "aria-label": row.label + ": " + title,
                                         "data-segment": title }, title);
        Object.assign(segment.style, { left: kMargin + i * share + "px", width: share + "px" });
        segment.addEventListener("click", () => settingsLine("set " + name + " " + quoted(title)));
        control.append(segment);
      });
      return control;
    }
    case "PSSliderCell": {
      // A range input whose thumb (28 pt, as the picture's) moves over the drawn track: a click
      // sets the value under the pointer.
      const min = row.min ?? 0, max = row.max ?? 1;
      const input = make("input", { type: "range", min, max, step: "any", "aria-label": row.label });
      input.value = row.value ?? min;
      Object.assign(input.style, { left: row.x + kMargin + "px", top: row.y + "px",
                                   height: row.height + "px",
                                   width: row.width - 2 * kMargin - (row.valueShown ? 48 : 0) + "px" });
      input.dataset.placed = "true";
      input.addEventListener("change", () => {
        const value = Math.round(Number(input.value) * 1000) / 1000;
        settingsLine("set " + name + " " + Math.min(max, Math.max(min, value)));
      });
      return input;
    }
    case "PSEditTextCell":
    case "PSSecureEditTextCell":
    case "PSEditTextViewCell": {
      const secure = row.type === "PSSecureEditTextCell";
      const input = make("input", { type: secure ? "password" : "text", "aria-label": row.label,
                                    autocomplete: "off" });
      input.value = typeof row.value === "string" ? row.value : "";
      input.addEventListener("change", () => settingsLine("set " + name + " " + quoted(input.value)));
      return input;
    }
    default: {
      // A list row opens its page, a choice is chosen, a link or button taps, a picker row
      // opens the picker: the row's own tap.
      const control = make("button", { type: "button", "aria-label": row.label });
      if (row.type === "PSListItemCell") control.setAttribute("aria-pressed", String(!!row.checked));
      control.addEventListener("click", () => settingsLine("tap " + name));
      return control;
    }
  }
}

// An alert or the photo picker over the page, as the device shows them.
function showPresented(screen) {
  const presented = screen.presented;
  const alert = $("#alert");
  const picker = $("#picker");
  alert.hidden = !presented || presented.kind !== "alert";
  if (presented && presented.kind === "alert") {
    $("#alert-title").textContent = presented.title || "";
    $("#alert-message").textContent = presented.message || "";
    const actions = $("#alert-actions");
    actions.replaceChildren();
    presented.actions.forEach((title, i) => {
      const closes = i === presented.closingAction;
      const button = make("button", { type: "button", class: closes ? "cancel" : null,
                                      "data-action": title }, title);
      if (closes) {
        // The alert closes as the user moves on: a look at the page is the smallest move.
        button.addEventListener("click", () => settingsLine("show"));
      } else {
        button.disabled = true;
        button.title = "The simulated user closes an alert with its cancel action";
      }
      actions.append(button);
    });
  }
  const picking = !!presented && presented.kind === "picker";
  if (picking) showLibrary(presented.items || []);
  picker.hidden = !picking;
}

// The picker's grid: what it offers of the device's photo library, oldest first.
function showLibrary(items) {
  const grid = $("#picker-items");
  const shown = [...grid.children].map((button) => button.dataset.item).join("/");
  if (shown === items.map((item) => item.name).join("/")) return;
  grid.replaceChildren();
  for (const item of items) {
    const button = make("button", { type: "button", "data-item": item.name,
                                    "aria-label": item.name + (item.video ? ", video" : "") });
    const thumbnail = make("img", { alt: "", loading: "lazy",
                                    src: "/api/library/thumbnail?item=" + encodeURIComponent(item.name) });
    button.append(thumbnail);
    if (item.video) button.append(make("span", { class: "seconds" }, item.duration || "?:??"));
    button.addEventListener("click", () => settingsLine("pick " + item.name));
    grid.append(button);
  }
}

$("#picker-cancel").addEventListener("click", () => settingsLine("cancel"));
$("#picker-add").addEventListener("change", async (event) => {
  const file = event.target.files[0];
  event.target.value = "";
  if (!file) return;
  const extension = (file.name.match(/\.([A-Za-z0-9]+)$/) || [])[1] || "";
  const result = $("#picker-result");
  const added = await api("/api/library?ext=" + encodeURIComponent(extension),
                          { method: "POST", body: file });
  result.textContent = added.item ? "added " + file.name + " as " + added.item
                                  : "refused " + file.name + ": " + added.error;
  result.dataset.outcome = added.item ? "added" : "refused";
  await refreshScreen();
});

appearance.addEventListener("change", () => {
  document.body.classList.toggle("dark", appearance.value === "dark");
  refreshScreen();
});

// --- sounds, heard ----------------------------------------------------------------------------

let audio = null;
// Made in the click that first needs it, so that the browser lets it play.
function audioContext() {
  if (!audio) audio = new AudioContext();
  if (audio.state === "suspended") audio.resume();
  return audio;
}

// Each sound's decoded samples, by device path: fetched once, then played from here.
const buffers = new Map();

function loadSound(path, item) {
  let loading = buffers.get(path);
  if (!loading) {
    loading = (async () => {
      const response = await api("/api/sound?path=" + encodeURIComponent(path), { raw: true });
      if (!response.ok) {
        let reason = "HTTP " + response.status;
        try { reason = (await response.json()).error || reason; } catch (error) { /* as it is */ }
        throw new Error(reason);
      }
      const bytes = await response.arrayBuffer();
      return { bytes };
    })();
    buffers.set(path, loading);
    loading.catch(() => buffers.delete(path));
  }
  return loading.then(async (sound) => {
    item.dataset.state = "fetched";
    if (!sound.buffer) sound.buffer = await audioContext().decodeAudioData(sound.bytes.slice(0));
    item.dataset.state = "decoded";
    return sound.buffer;
  });
}

// The sounds the home screen played for one line, started in order at their offsets from the
// first, as the device would play them. `clicked` is when the user asked (performance.now()).
function playSounds(entries, clicked) {
  const heard = entries.filter((e) => e.kind === "sound-play" && e.path && !e.silent &&
                                      e.ringer !== "off");
  if (heard.length === 0) return;
  const context = audioContext();
  const first = heard[0].t;
  const base = context.currentTime;
  for (const entry of heard) {
    const item = make("li", { "data-path": entry.path, "data-state": "asked" });
    const state = make("span", { class: "state" });
    item.append(state, document.createTextNode(entry.path));
    const shown = new MutationObserver(() => { state.textContent = item.dataset.state; });
    shown.observe(item, { attributes: true, attributeFilter: ["data-state"] });
    state.textContent = "asked";
    $("#played").append(item);
    loadSound(entry.path, item).then((buffer) => {
      const source = context.createBufferSource();
      source.buffer = buffer;
      source.connect(context.destination);
      source.onended = () => { item.dataset.state = "ended"; };
      source.start(Math.max(context.currentTime, base + (entry.t - first)));
      item.dataset.startedMs = (performance.now() - clicked).toFixed(2);
      item.dataset.state = "playing";
    }).catch((error) => {
      // Failed, with the reason as the item's text.
      shown.disconnect();
      item.dataset.state = "failed";
      item.textContent = error.message;
    });
  }
  // The list's end in view, once the sounds are on their way (a layout waits for the next frame).
  requestAnimationFrame(() => { $("#played").scrollTop = $("#played").scrollHeight; });
}

// How many home-screen lines have been answered and their sounds started on their way (the
// page's <body data-home-lines>): a test waits for it.
let homeLines = 0;

// `clicked`: when the user asked, on the clock of performance.now() (an event's timeStamp).
function homeLine(line, clicked = performance.now()) {
  audioContext();
  return sendLine("springboard", line).then((answer) => {
    playSounds(answer.entries || [], clicked);
    document.body.dataset.homeLines = String(++homeLines);
    return answer;
  });
}

for (const control of document.querySelectorAll("#home button[data-line]")) {
  control.addEventListener("click", (event) => homeLine(control.dataset.line, event.timeStamp));
}
for (const digit of "1234567890") {
  const key = make("button", { type: "button", "data-line": "passcode " + digit,
                               "aria-label": "Passcode key " + digit }, digit);
  key.addEventListener("click", (event) => homeLine("passcode " + digit, event.timeStamp));
  $("#keypad").append(key);
}

// Every key typed is a key press on the device, sent as it is typed.
const typing = $("#typing");
typing.addEventListener("beforeinput", (event) => {
  if (event.isComposing) return;  // a character being composed is sent once it is typed
  if (event.inputType === "deleteContentBackward") {
    homeLine("delete 1");
  } else if (event.inputType.startsWith("insert") && event.data) {
    for (const character of event.data) homeLine("type " + quoted(character));
  }
});
typing.addEventListener("compositionend", (event) => {
  for (const character of event.data || "") homeLine("type " + quoted(character));
});

// --- the sounds table -------------------------------------------------------------------------

const kEvents = ["Charge", "Keyboard", "Lock", "Passcode", "Respring", "Unlock", "Volume"];
const importResults = new Map();  // what the last import into each event said

async function refreshSounds() {
  const sounds = await api("/api/sounds");
  if (sounds.status !== 200) return;
  const master = sounds.checks.find((check) => check.kind === "master");
  $("#sounds-summary").textContent =
      (master && !master.on ? "The master switch is off: nothing plays. " : "") +
      (sounds.allPlay ? "Every event that is on will be heard." : "Not every event will be heard.");
  const body = $("#sounds tbody");
  const rows = new Map([...body.children].map((row) => [row.dataset.event, row]));
  for (const check of sounds.checks.filter((c) => c.kind === "event")) {
    let row = rows.get(check.event);
    if (!row) {
      row = soundRow(check.event);
      body.append(row);
    }
    row.dataset.verdict = check.verdict;
    row.querySelector(".switch").textContent = check.on ? "on" : "off";
    row.querySelector(".file").textContent = check.name !== undefined && check.name !== null
                                                 ? quoted(check.name) : "(not set)";
    row.querySelector(".verdict").textContent = check.reason || check.verdict;
  }
}

function soundRow(event) {
  const row = make("tr", { "data-event": event });
  row.append(make("th", { scope: "row" }, event), make("td", { class: "switch" }),
             make("td", { class: "file" }), make("td", { class: "verdict" }));
  const cell = make("td");
  const zone = make("div", { class: "drop" });
  const input = make("input", { type: "file", accept: "audio/*,.caf,.aiff,.aif,.wav,.m4a,.mp3,.flac,.ogg",
                                "aria-label": "Import a sound for " + event });
  const result = make("div", { class: "result", role: "status" });
  zone.append(make("span", {}, "Drop a sound, or "), input);
  cell.append(zone, result);
  row.append(cell);
  input.addEventListener("change", () => {
    if (input.files[0]) importSound(event, input.files[0], row);
    input.value = "";
  });
  zone.addEventListener("dragover", (e) => { e.preventDefault(); zone.classList.add("over"); });
  zone.addEventListener("dragleave", () => zone.classList.remove("over"));
  zone.addEventListener("drop", (e) => {
    e.preventDefault();
    zone.classList.remove("over");
    if (e.dataTransfer.files[0]) importSound(event, e.dataTransfer.files[0], row);
  });
  return row;
}

// The file becomes the event's sound, named as `sounds import` names it: its own name with .caf.
async function importSound(event, file, row, force = false) {
  const name = file.name.replace(/\.[^.]*$/, "") + ".caf";
  const result = row.querySelector(".result");
  result.textContent = "importing " + file.name + "…";
  result.className = "result";
  const answer = await api("/api/sounds/import?event=" + encodeURIComponent(event) + "&name=" +
                           encodeURIComponent(name) + (force ? "&force=1" : ""),
                           { method: "POST", body: file });
  result.replaceChildren();
  if (answer.status === 200) {
    buffers.delete(answer.path);
    result.className = "result imported";
    result.dataset.outcome = "imported";
    result.textContent = "imported " + file.name + " (" + answer.source + ") as " + answer.name +
                         (answer.trimmed ? ", cut at 30 s" : "") +
                         (answer.switchOn ? "" : "; the event's switch is off");
  } else {
    result.className = "result refused";
    result.dataset.outcome = "refused";
    result.textContent = "refused " + file.name + ": " + answer.error;
    if (answer.status === 409) {
      const replace = make("button", { type: "button" }, "Replace");
      replace.addEventListener("click", () => importSound(event, file, row, true));
      result.append(" ", replace);
    }
  }
  await refreshSounds();
  // A list page on screen offers the new sound at once.
  refreshScreen();
}

// --- the journal ------------------------------------------------------------------------------

const journal = $("#journal");
const kindFilter = $("#journal-kind");
const kinds = new Set();

const kJournalKept = 5000;  // entries shown at most: the oldest go first
let arriving = [];

// Entries are shown a frame at a time, with one layout for all that came in it.
function takeEntry(entry) {
  if (arriving.length === 0) requestAnimationFrame(showArrived);
  arriving.push(entry);
}

function showArrived() {
  const entries = arriving;
  arriving = [];
  const atEnd = journal.scrollTop + journal.clientHeight >= journal.scrollHeight - 4;
  const lines = document.createDocumentFragment();
  for (const entry of entries) lines.append(showEntry(entry));
  journal.append(lines);
  for (let extra = journal.childElementCount - kJournalKept; extra > 0; --extra) {
    journal.firstElementChild.remove();
  }
  if (atEnd) journal.scrollTop = journal.scrollHeight;
}

// The entry's line in the journal.
function showEntry(entry) {
  const kind = entry.kind || "?";
  let text = entry.printed;
  const line = make("div", { "data-kind": kind, "data-host": entry.host });
  if (!text) {
    // An entry the command prints only with --json: as --json prints it.
    const fields = Object.assign({}, entry);
    delete fields.printed;
    delete fields.host;
    text = JSON.stringify(fields);
    line.classList.add("raw");
  }
  line.textContent = text;
  if (kindFilter.value && kindFilter.value !== kind) line.classList.add("hidden");
  if (!kinds.has(kind)) {
    // A new kind joins the filter in its place; the options there stay as they are.
    kinds.add(kind);
    const after = [...kindFilter.options].find((option) => option.value > kind);
    kindFilter.insertBefore(make("option", { value: kind }, kind), after || null);
  }
  // What the other host did may show on the screen or in the sounds table.
  if (entry.host === "springboard" && (kind === "pref" || kind === "launch")) refreshSounds();
  return line;
}

kindFilter.addEventListener("change", () => {
  for (const line of journal.children) {
    line.classList.toggle("hidden", !!kindFilter.value && line.dataset.kind !== kindFilter.value);
  }
});
$("#journal-clear").addEventListener("click", () => journal.replaceChildren());

let events = null;
function listen() {
  events = new EventSource("/api/events");
  events.onmessage = (message) => {
    try {
      takeEntry(JSON.parse(message.data));
    } catch (error) {
      say("a journal entry could not be read", true);
    }
  };
  events.onopen = () => { document.body.dataset.listening = "true"; };
}

// --- start ------------------------------------------------------------------------------------

// A page left for another keeps no stream open (a browser has six connections to a server, and
// a page kept for going back would hold one); it listens again, and looks again, on its return.
addEventListener("pagehide", () => {
  if (events) events.close();
  events = null;
});
addEventListener("pageshow", (event) => {
  if (!event.persisted) return;
  listen();
  refreshScreen().finally(refreshSounds);
});

// The phone first: the device serves one request at a time, and the sounds check can wait.
refreshScreen().finally(refreshSounds);
listen();
