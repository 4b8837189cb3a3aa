"use strict";
// The engine page's script (control/page/page.js) on a stand-in window and
// engine: what it tells the control for each thing the engine does.
//
//     node --test tests/control/page.test.js

const test = require("node:test");
const assert = require("node:assert/strict");
const path = require("node:path");

const { makePage } = require(path.join(__dirname, "..", "..", "control", "page", "page.js"));

// A player of the stand-in engine: each load's promise is settled by the
// test through `answer`.
class FakePlayer {
    constructor(engine) {
        this.engine = engine;
        this.style = {};
        this.shadowRoot = null;
        this.loads = [];
        this.removed = false;
        this.focused = 0;
        this.running = true;
    }
    load(config) {
        if (this.engine.throwing)
            throw new Error("the engine broke");
        return new Promise((resolve, reject) => this.loads.push({ config, resolve, reject }));
    }
    remove() { this.removed = true; }
    focus() { this.focused++; }
    blur() {}
    // The engine's element: play() and pause(), no resume() or suspend().
    play() { this.running = true; }
    pause() { this.running = false; }
}

// The identity the control gave the page.
const PAGE = "7";

// A page with its host: every message it posts, the players it made.
function makeHarness({ engineLoaded = true } = {}) {
    const listeners = {};
    const window = {
        console: { log() {}, info() {}, warn() {}, error() {}, debug() {} },
        WebAssembly,
        addEventListener(kind, listener) { (listeners[kind] = listeners[kind] || []).push(listener); },
    };
    const stage = { children: [], appendChild(child) { this.children.push(child); } };
    const document = {
        activeElement: null,
        body: { style: {}, children: [], appendChild(child) { this.children.push(child); } },
        getElementById: (id) => id === "stage" ? stage : null,
    };
    const engine = {
        players: [],
        throwing: false,
        createPlayer() {
            const player = new FakePlayer(engine);
            engine.players.push(player);
            return player;
        },
    };
    const posted = [];
    const page = makePage({
        window,
        document,
        page: PAGE,
        post: (message) => {
            // Every message carries the page's identity; the tests compare
            // the rest.
            assert.equal(message.page, PAGE);
            const { page: _, ...rest } = message;
            posted.push(rest);
            // As WebKit's: a promise of the control's reply, which comes
            // after whatever the control sends in answer.
            return new Promise((resolve) => setTimeout(resolve, 50));
        },
        engine: () => engineLoaded ? engine : undefined,
    });
    page.install();
    return { page, window, document, stage, engine, posted, listeners };
}

// Lets the page's promise callbacks run.
const settle = () => new Promise((resolve) => setImmediate(resolve));

function loadMovie(h, id, extra = {}) {
    h.page.command("load", JSON.stringify(Object.assign({ id: id, url: "quorvel-control://package/" + id + ".swf",
        base: "quorvel-control://package/", scale: "showAll", background: null, fonts: null }, extra)));
}

test("the command set is the control's", () => {
    const h = makeHarness();
    assert.deepEqual([...h.page.commandNames].sort(),
        ["background", "debug", "focus", "load", "play", "prepare", "restore", "stop", "unload", "warm"]);
    assert.throws(() => h.page.command("eval", "{}"), /no such command/);
});

test("the page is ready once started with an engine that makes players, and says so otherwise", () => {
    const h = makeHarness();
    h.page.start();
    assert.deepEqual(h.posted, [{ type: "ready" }]);
    const missing = makeHarness({ engineLoaded: false });
    missing.page.start();
    assert.deepEqual(missing.posted, [{ type: "error", load: "", message: "the engine's script did not load" }]);
});

test("every message carries the page's identity", () => {
    const seen = [];
    const page = makePage({ window: { addEventListener() {}, console: { error() {} } }, document: {}, page: "41",
        post: (message) => seen.push(message), engine: () => undefined });
    page.install();
    page.start();
    page.command("unload", "{}");
    assert.deepEqual(seen.map((message) => message.page), ["41", "41"]);
});

test("a load the engine throws on is reported as an error of that load", () => {
    const h = makeHarness();
    h.engine.throwing = true;
    loadMovie(h, "3");
    assert.deepEqual(h.posted, [{ type: "error", load: "3", message: "Error: the engine broke" }]);
});

test("a warm-up that fails is reported, and the movie waiting for it still goes on", async () => {
    const h = makeHarness();
    h.page.command("warm", "{}");
    loadMovie(h, "1");
    h.engine.players[0].loads[0].reject(new Error("no device"));
    await settle();
    await settle();
    assert.deepEqual(h.posted, [{ type: "error", load: "warm", message: "Error: no device" }]);
    assert.equal(h.engine.players.length, 2);
});

test("a movie that loads is reported with its load's number, and takes the keys", async () => {
    const h = makeHarness();
    loadMovie(h, "1", { background: "#123456", scale: "noScale" });
    const player = h.engine.players[0];
    assert.equal(h.stage.children[0], player);
    const config = player.loads[0].config;
    assert.equal(config.url, "quorvel-control://package/1.swf");
    assert.equal(config.base, "quorvel-control://package/");
    assert.equal(config.scale, "noScale");
    assert.equal(config.backgroundColor, "#123456");
    assert.equal(h.document.body.style.background, "#123456");
    player.loads[0].resolve();
    await settle();
    assert.deepEqual(h.posted, [{ type: "loaded", load: "1", url: "quorvel-control://package/1.swf" }]);
    assert.equal(player.focused, 1);
});

test("a load the engine rejects is reported as an error of that load", async () => {
    const h = makeHarness();
    loadMovie(h, "4");
    h.engine.players[0].loads[0].reject(new Error("no WebAssembly"));
    await settle();
    assert.deepEqual(h.posted, [{ type: "error", load: "4", message: "Error: no WebAssembly" }]);
});

test("a movie's fonts go into its configuration; its FSCommands carry its load's number", () => {
    const h = makeHarness();
    loadMovie(h, "2", { fonts: { fontSources: ["f0"], defaultFonts: { sans: ["A"] } } });
    const player = h.engine.players[0];
    assert.deepEqual(player.loads[0].config.fontSources, ["f0"]);
    assert.deepEqual(player.loads[0].config.defaultFonts, { sans: ["A"] });
    assert.equal(player.onFSCommand("quit", 1), true);
    assert.deepEqual(h.posted, [{ type: "fscommand", load: "2", command: "quit", args: "1" }]);
});

test("each movie gets a fresh player; the last one's is removed", () => {
    const h = makeHarness();
    loadMovie(h, "1");
    loadMovie(h, "2");
    assert.equal(h.engine.players.length, 2);
    assert.equal(h.engine.players[0].removed, true);
    assert.equal(h.engine.players[1].removed, false);
});

test("a movie asked for while the engine warms up waits for it, and only the last one loads", async () => {
    const h = makeHarness();
    h.page.command("warm", "{}");
    const warm = h.engine.players[0];
    assert.ok(warm.loads[0].config.data instanceof Uint8Array);
    loadMovie(h, "1");
    loadMovie(h, "2");
    assert.equal(h.engine.players.length, 1);
    warm.loads[0].resolve();
    await settle();
    await settle();
    assert.equal(warm.removed, true);
    assert.equal(h.engine.players.length, 2);
    assert.equal(h.engine.players[1].loads[0].config.url, "quorvel-control://package/2.swf");
    assert.deepEqual(h.posted, [{ type: "warm" }]);
});

test("saved objects are the page's local storage, each change reported", () => {
    const h = makeHarness();
    const descriptor = Object.getOwnPropertyDescriptor(h.window, "localStorage");
    const storage = descriptor.get();
    h.page.command("restore", JSON.stringify({ items: { score: "3" } }));
    assert.equal(storage.getItem("score"), "3");
    assert.equal(storage.score, "3");
    storage.setItem("level", 2);
    delete storage.score;
    storage.removeItem("nothing");
    assert.deepEqual(Object.keys(storage), ["level"]);
    storage.clear();
    assert.equal(storage.length, 0);
    assert.deepEqual(h.posted, [
        { type: "storage-set", key: "level", value: "2" },
        { type: "storage-remove", key: "score" },
        { type: "storage-clear" },
    ]);
});

test("links go to the control, and the page opens no window", () => {
    const h = makeHarness();
    assert.equal(h.window.open("mailto:a@b"), null);
    assert.deepEqual(h.posted, [{ type: "link", url: "mailto:a@b" }]);
});

test("play, stop, background and unload reach the current player", () => {
    const h = makeHarness();
    loadMovie(h, "1");
    const player = h.engine.players[0];
    h.page.command("stop", "{}");
    assert.equal(player.running, false);
    h.page.command("play", "{}");
    assert.equal(player.running, true);
    h.page.command("background", JSON.stringify({ color: "#FF0000" }));
    assert.equal(player.style.background, "#FF0000");
    h.page.command("background", JSON.stringify({ color: null }));
    assert.equal(h.document.body.style.background, "#000");
    h.page.command("unload", "{}");
    assert.equal(player.removed, true);
    assert.deepEqual(h.posted, [{ type: "unloaded" }]);
});

function prepareMovie(h, key, id, extra = {}) {
    h.page.command("prepare", JSON.stringify(Object.assign({ key: key, url: "quorvel-control://package/" + id + ".swf",
        base: "quorvel-control://package/", scale: "showAll", fonts: null }, extra)));
}

test("a prepared movie waits out of sight, silent, and is swapped in whole by its load", async () => {
    const h = makeHarness();
    loadMovie(h, "1");
    const old = h.engine.players[0];
    old.loads[0].resolve();
    await settle();
    h.posted.length = 0;

    prepareMovie(h, 5, "2", { background: "#102030" });
    const next = h.engine.players[1];
    const config = next.loads[0].config;
    assert.equal(config.autoplay, "off");
    assert.equal(config.url, "quorvel-control://package/2.swf");
    assert.equal(config.backgroundColor, "#102030", "made in its own colour");
    assert.equal(next.style.visibility, "hidden");
    assert.equal(h.stage.children.includes(next), true);
    next.running = false;
    next.loads[0].resolve();
    await settle();
    // Before its turn it speaks for no movie; the page says it is ready.
    next.onFSCommand("quorvel-frame", "0");
    assert.deepEqual(h.posted, [{ type: "prepared", load: "5" }]);
    h.posted.length = 0;

    loadMovie(h, "2", { prepared: true, background: "#102030" });
    await settle();
    assert.equal(h.engine.players.length, 2, "no fresh player for it");
    assert.equal(old.removed, true);
    assert.equal(next.removed, false);
    assert.equal(next.running, true);
    assert.equal(next.style.visibility, "");
    assert.equal(h.document.body.style.background, "#102030");
    assert.deepEqual(h.posted, [{ type: "loaded", load: "2", url: "quorvel-control://package/2.swf" }]);
    next.onFSCommand("quorvel-frame", "3");
    old.onFSCommand("quorvel-frame", "9");
    assert.deepEqual(h.posted.slice(1), [
        { type: "fscommand", load: "2", command: "quorvel-frame", args: "3" },
        { type: "fscommand", load: "1", command: "quorvel-frame", args: "9" },
    ]);
});

test("a prepared movie that does not come, or comes otherwise, is dropped for a fresh player", async () => {
    for (const [what, load] of [
        ["another movie", (h) => loadMovie(h, "3", { prepared: true })],
        ["the control says its colour does not fit", (h) => loadMovie(h, "2", { prepared: false })],
        ["another scale", (h) => loadMovie(h, "2", { prepared: true, scale: "noScale" })],
    ]) {
        const h = makeHarness();
        loadMovie(h, "1");
        prepareMovie(h, 1, "2");
        const next = h.engine.players[1];
        load(h);
        assert.equal(next.removed, true, what);
        assert.equal(h.engine.players.length, 3, what);
        assert.equal(h.engine.players[2].loads[0].config.autoplay, "on", what);
    }
    // A second prepare replaces the first; unload drops it.
    const h = makeHarness();
    loadMovie(h, "1");
    prepareMovie(h, 1, "2");
    prepareMovie(h, 2, "3");
    assert.equal(h.engine.players[1].removed, true);
    h.page.command("unload", "{}");
    assert.equal(h.engine.players[2].removed, true);
});

test("a movie that cannot be prepared is said so, and its load falls back to a fresh player", async () => {
    // The engine has not started (no movie, no warm-up), or its warm-up
    // has not settled: nothing is prepared.
    const idle = makeHarness();
    prepareMovie(idle, 4, "2");
    assert.deepEqual(idle.posted, [{ type: "unprepared", load: "4" }]);
    assert.equal(idle.engine.players.length, 0);
    idle.page.command("warm", "{}");
    prepareMovie(idle, 5, "2");
    assert.deepEqual(idle.posted.slice(1), [{ type: "unprepared", load: "5" }]);
    assert.equal(idle.engine.players.length, 1);

    // The engine refuses it before its turn.
    const h = makeHarness();
    loadMovie(h, "1");
    prepareMovie(h, 6, "2");
    h.engine.players[1].loads[0].reject(new Error("no device"));
    await settle();
    assert.deepEqual(h.posted, [{ type: "unprepared", load: "6" }]);
    assert.equal(h.engine.players[1].removed, true);
    loadMovie(h, "2", { prepared: true });
    assert.equal(h.engine.players.length, 3);

    // The engine refuses it after its load came: a fresh player takes it.
    const late = makeHarness();
    loadMovie(late, "1");
    prepareMovie(late, 7, "2");
    loadMovie(late, "2", { prepared: true });
    late.engine.players[1].loads[0].reject(new Error("no device"));
    await settle();
    assert.equal(late.engine.players[1].removed, true);
    assert.equal(late.engine.players.length, 3);
    assert.equal(late.engine.players[2].loads[0].config.url, "quorvel-control://package/2.swf");
});

test("a panic of the engine, while a movie plays, is its failure, told once", async () => {
    const { page, window, engine, posted } = makeHarness();
    page.command("load", JSON.stringify({ id: "4", url: "quorvel-control://package/a.swf" }));
    engine.players[0].loads[0].resolve();
    await Promise.resolve();
    posted.length = 0;
    window.console.error("Unable to lock Ruffle core");
    assert.deepEqual(posted, []);
    window.console.error("panicked at /src/wgpu-core/src/storage.rs:92:17:\nCannot insert BufferId(0,0)");
    window.console.error("panicked at /src/other.rs:1:1:\nagain");
    assert.deepEqual(posted, [{ type: "error", load: "", message: "panicked: Cannot insert BufferId(0,0)" }]);
});

test("a trap of the engine's WebAssembly that escapes is its failure; other errors are not", () => {
    const { listeners, posted } = makeHarness();
    listeners.error[0]({ error: new Error("a movie's own script") });
    listeners.unhandledrejection[0]({ reason: "nothing" });
    assert.deepEqual(posted, []);
    listeners.unhandledrejection[0]({ reason: new WebAssembly.RuntimeError("Out of bounds memory access (evaluating 'f()')") });
    listeners.error[0]({ error: new WebAssembly.RuntimeError("Unreachable code should not be executed") });
    assert.deepEqual(posted, [{ type: "error", load: "", message: "trapped: Out of bounds memory access" }]);
});

test("a fresh page, warmed up, prepares its first movies and swaps one in without a player before it", async () => {
    const h = makeHarness();
    h.page.command("warm", "{}");
    const warm = h.engine.players[0];
    warm.loads[0].resolve();
    await settle();
    assert.deepEqual(h.posted, [{ type: "warm" }]);
    h.posted.length = 0;

    prepareMovie(h, 9, "4", { background: "#405060" });
    await settle();
    assert.equal(warm.removed, true, "the warm-up's player goes");
    const next = h.engine.players[1];
    assert.equal(next.loads[0].config.autoplay, "off");
    next.running = false;
    next.loads[0].resolve();
    await settle();
    assert.deepEqual(h.posted, [{ type: "prepared", load: "9" }]);

    // The movie did not come: the next one is prepared in its place.
    prepareMovie(h, 10, "5", { background: "#405060" });
    assert.equal(next.removed, true);
    const other = h.engine.players[2];
    assert.equal(other.loads[0].config.url, "quorvel-control://package/5.swf");
    other.running = false;
    other.loads[0].resolve();
    await settle();
    assert.deepEqual(h.posted.slice(1), [{ type: "prepared", load: "10" }]);
    h.posted.length = 1;

    loadMovie(h, "1", { url: "quorvel-control://package/5.swf", prepared: true, background: "#405060" });
    assert.equal(h.engine.players.length, 3, "no fresh player for it");
    assert.equal(other.running, true);
    assert.equal(h.document.body.style.background, "#405060");
    assert.deepEqual(h.posted.slice(1), [{ type: "loaded", load: "1", url: "quorvel-control://package/5.swf" }]);
});
