#include "control/EnginePage.h"

std::string_view EnginePage()
{
    return R"html(<!doctype html>
<html>
<head>
<meta charset="utf-8">
<style>
html, body { margin: 0; width: 100%; height: 100%; overflow: hidden; background: #000; }
#stage { width: 100%; height: 100%; }
#stage > * { width: 100%; height: 100%; display: block; outline: none; }
</style>
<script>
"use strict";
// Runs before the engine: the page's own plumbing.
(function () {
    const host = window.webkit.messageHandlers.quorvel;
    const post = (message) => host.postMessage(message);

    // What movies save (local shared objects) lives with the control, which
    // keeps it per package across runs; the engine reads and writes it as
    // the page's local storage, by key, as properties.
    const saved = new Map();
    const storage = new Proxy({}, {
        get(target, key) {
            if (typeof key !== "string")
                return undefined;
            switch (key) {
            case "getItem": return (name) => saved.has(String(name)) ? saved.get(String(name)) : null;
            case "setItem": return (name, value) => storage[String(name)] = String(value);
            case "removeItem": return (name) => delete storage[String(name)];
            case "clear": return () => { saved.clear(); post({ type: "storage-clear" }); };
            case "key": return (index) => [...saved.keys()][index] ?? null;
            case "length": return saved.size;
            }
            return saved.has(key) ? saved.get(key) : undefined;
        },
        set(target, key, value) {
            if (typeof key === "string") {
                saved.set(key, String(value));
                post({ type: "storage-set", key: key, value: String(value) });
            }
            return true;
        },
        deleteProperty(target, key) {
            if (typeof key === "string" && saved.delete(key))
                post({ type: "storage-remove", key: key });
            return true;
        },
        has(target, key) { return typeof key === "string" && saved.has(key); },
        ownKeys() { return [...saved.keys()]; },
        getOwnPropertyDescriptor(target, key) {
            if (typeof key !== "string" || !saved.has(key))
                return undefined;
            return { value: saved.get(key), writable: true, enumerable: true, configurable: true };
        },
    });
    Object.defineProperty(window, "localStorage", { get: () => storage, configurable: false });

    // Links a movie opens go to the control, which hands them to the
    // desktop; the page itself never opens a window.
    window.open = (url) => {
        post({ type: "link", url: String(url) });
        return null;
    };

    window.quorvelPlumbing = {
        post: post,
        restore(items) {
            saved.clear();
            for (const key of Object.keys(items))
                saved.set(key, items[key]);
        },
        debug() {
            for (const level of ["log", "info", "warn", "error", "debug"]) {
                const original = console[level].bind(console);
                console[level] = (...parts) => {
                    post({ type: "console", level: level, message: parts.map(String).join(" ") });
                    original(...parts);
                };
            }
            for (const kind of ["keydown", "keyup", "focus", "blur"]) {
                window.addEventListener(kind, (event) => post({ type: "console", level: "debug",
                    message: kind + " " + (event.key || "") + " at " + (document.activeElement
                        ? document.activeElement.tagName : "nothing") }), true);
            }
            window.addEventListener("error", (event) =>
                post({ type: "console", level: "error", message: String(event.message) }));
        },
    };
})();
</script>
</head>
<body>
<div id="stage"></div>
<script src="ruffle.js"></script>
<script>
"use strict";
(function () {
    const plumbing = window.quorvelPlumbing;
    const post = plumbing.post;
    window.RufflePlayer = window.RufflePlayer || {};
    let player = null;
    let playing = false;
    let debugging = false;

    // The movie takes the keys: only once the engine runs it (focusing a
    // player that is still starting upsets the engine).
    function focusMovie() {
        if (player && playing)
            player.focus({ preventScroll: true });
    }
    window.addEventListener("focus", focusMovie);

    // Removing a player ends its engine instance (its sound stops, what the
    // movie saved is written). The instance's drawing context would then
    // hold its textures and buffers until the script engine collects the
    // canvas, which during play-all is long after several more movies
    // have made their own: it is given up at once instead.
    function removePlayer(old) {
        const canvases = old.shadowRoot ? [...old.shadowRoot.querySelectorAll("canvas")] : [];
        old.remove();
        for (const canvas of canvases) {
            const context = canvas.getContext("webgl2") || canvas.getContext("webgl");
            const lose = context && context.getExtension("WEBGL_lose_context");
            if (lose && !context.isContextLost())
                lose.loseContext();
            canvas.width = canvas.height = 0;
        }
    }

    // Every movie gets a fresh player: the engine keeps no state of the last
    // one, and removing a player stops its sound and writes what it saved.
    function freshPlayer(id) {
        const stage = document.getElementById("stage");
        if (player)
            removePlayer(player);
        playing = false;
        player = window.RufflePlayer.newest().createPlayer();
        player.tabIndex = 0;
        player.onFSCommand = (command, args) => {
            post({ type: "fscommand", load: id, command: String(command), args: String(args) });
            return true;
        };
        stage.appendChild(player);
        return player;
    }

    // The engine's start (its WebAssembly compiled and instantiated, once
    // per page, and a player's drawing device made) can be done before the
    // first movie is known: a movie of one black frame, out of sight, in a
    // player of its own that the first real movie replaces. A movie that
    // comes while it is still starting waits for it: the engine is shared.
    const warmMovie = new Uint8Array([70, 87, 83, 8, 25, 0, 0, 0, 48, 10, 0, 160, 0, 24, 1, 0, 67, 2, 0, 0,
        0, 64, 0, 0, 0]);
    let warming = null;
    // The last movie asked for while the engine was still starting.
    let waiting = null;

    function settled(promise) {
        return promise.then(() => undefined, () => undefined);
    }

    window.quorvel = {
        warm() {
            if (warming || player)
                return;
            const warm = window.RufflePlayer.newest().createPlayer();
            warm.style.cssText = "position: absolute; left: 0; top: 0; width: 1px; height: 1px; visibility: hidden";
            document.body.appendChild(warm);
            warming = settled(warm.load({ data: warmMovie, autoplay: "on", unmuteOverlay: "hidden",
                splashScreen: false, contextMenu: "off", letterbox: "off", quality: "high",
                logLevel: debugging ? "info" : "error" }))
                .then(() => post({ type: "warm" }))
                .then(() => warm);
        },
        debug() {
            debugging = true;
            plumbing.debug();
        },
        restore(items) { plumbing.restore(items); },
        load(url, options, id) {
            const config = {
                url: url,
                // Names a movie uses are looked up in its package.
                base: options.base,
                autoplay: "on",
                unmuteOverlay: "hidden",
                splashScreen: false,
                contextMenu: "off",
                // Outside the stage the movie's background shows, as in a
                // projector, not bands of black.
                letterbox: "off",
                allowScriptAccess: true,
                allowNetworking: "all",
                openUrlMode: "allow",
                upgradeToHttps: false,
                // The engine opens a link without a target by navigating
                // this page, which the web view does not even ask about for
                // some schemes (mailto:), and runs a script URL in it. Every
                // URL but the web's and the package's is wrapped in a scheme
                // of the control's, which the page's navigation hands to the
                // control (it unwraps it and decides).
                urlRewriteRules: [[/^\s*(?!(?:https?|quorvel-control|fscommand):)([a-z][a-z0-9+.-]*:)/i,
                    "quorvel-link:$1"]],
                scale: options.scale,
                quality: "high",
                logLevel: debugging ? "info" : "error",
            };
            if (options.background)
                config.backgroundColor = options.background;
            if (options.fonts)
                Object.assign(config, options.fonts);
            if (warming) {
                if (!waiting)
                    warming.then((warm) => {
                        warming = null;
                        removePlayer(warm);
                        const next = waiting;
                        waiting = null;
                        if (next)
                            window.quorvel.load(...next);
                    });
                waiting = [url, options, id];
                return;
            }
            document.body.style.background = options.background || "#000";
            const fresh = freshPlayer(id);
            fresh.load(config).then(
                () => {
                    playing = fresh === player;
                    // The engine learns of the focus from a focus event; one
                    // that came before it listened does not count.
                    if (playing && document.activeElement === fresh)
                        fresh.blur();
                    focusMovie();
                    post({ type: "loaded", load: id, url: url });
                },
                (error) => post({ type: "error", load: id, message: String(error) }));
        },
        background(color) {
            document.body.style.background = color || "#000";
            if (player)
                player.style.background = color || "";
        },
        focus: focusMovie,
        play() { if (player) player.resume(); },
        stop() { if (player) player.suspend(); },
        unload() {
            waiting = null;
            if (player)
                removePlayer(player);
            player = null;
            post({ type: "unloaded" });
        },
    };
    post({ type: "ready" });
})();
</script>
</body>
</html>
)html";
}
