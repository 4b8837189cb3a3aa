"use strict";
// The page of the movie engine: the engine filling the whole view, driven
// by the control through window.quorvel.command(name, json) and reporting
// back through the "quorvel" message handler.
//
// makePage(host) holds all of it and touches nothing but its host:
//   host.window, host.document  where the page lives;
//   host.page                   the page's identity, which the control gave
//                               it in its address: every message carries
//                               it, and the control drops the messages of
//                               any page but its current one;
//   host.post(message)          a message to the control;
//   host.engine()               the engine's source (RufflePlayer.newest()),
//                               or nothing when its script did not load.
// In the web view the host is the page's own window (at the end of this
// file); the tests give it a stand-in.
(function (global) {
    // A movie of one black frame: started out of sight, it makes the engine
    // compile its WebAssembly and a player its drawing device before the
    // first real movie is known.
    const warmMovie = [70, 87, 83, 8, 25, 0, 0, 0, 48, 10, 0, 160, 0, 24, 1, 0, 67, 2, 0, 0, 0, 64, 0, 0, 0];

    // The engine opens a link without a target by navigating this page,
    // which the web view does not even ask about for some schemes (mailto:),
    // and runs a script URL in it. Every URL but the web's and the package's
    // is wrapped in a scheme of the control's, which the page's navigation
    // hands to the control (it unwraps it and decides).
    const linkRewrite = [/^\s*(?!(?:https?|quorvel-control|fscommand):)([a-z][a-z0-9+.-]*:)/i, "quorvel-link:$1"];

    function makePage(host) {
        const window = host.window;
        const document = host.document;
        const post = (message) => host.post(Object.assign({ page: host.page }, message));

        // What movies save (local shared objects) lives with the control,
        // which keeps it per package across runs; the engine reads and
        // writes it as the page's local storage, by key, as properties.
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

        let player = null;
        let playing = false;
        let debugging = false;
        // The warm-up's player until it has settled, and the last movie
        // asked for while it was still starting: the engine is shared.
        let warming = null;
        let warmSettled = false;
        let waiting = null;

        // The movie takes the keys: only once the engine runs it (focusing a
        // player that is still starting upsets the engine).
        function focusMovie() {
            if (player && playing)
                player.focus({ preventScroll: true });
        }

        // Removing a player ends its engine instance (its sound stops, what
        // the movie saved is written). The instance's drawing context would
        // then hold its textures and buffers until the script engine
        // collects the canvas, which during play-all is long after several
        // more movies have made their own: it is given up at once instead.
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

        // A player for the load `entry.id`: its FSCommands go out under the
        // entry's id, and none while it has none (a prepared player, made
        // ahead and not yet shown, speaks for no movie).
        function makePlayer(entry) {
            const made = host.engine().createPlayer();
            made.tabIndex = 0;
            made.onFSCommand = (command, args) => {
                if (entry.id !== null)
                    post({ type: "fscommand", load: entry.id, command: String(command), args: String(args) });
                return true;
            };
            return made;
        }

        // Every movie gets a fresh player: the engine keeps no state of the
        // last one, and removing a player stops its sound and writes what it
        // saved.
        function freshPlayer(id) {
            const stage = document.getElementById("stage");
            if (player)
                removePlayer(player);
            dropPrepared();
            playing = false;
            player = makePlayer({ id: id });
            stage.appendChild(player);
            return player;
        }

        // The next movie, made ahead while the current one plays: a player
        // out of sight that has its drawing device and the parsed movie but
        // has not played a frame, run a script or made a sound.
        //   { movie, entry, player, started }
        let prepared = null;
        // The prepared player a load took while the engine still starts it.
        let waitingSwap = null;

        function dropPrepared() {
            if (prepared)
                removePlayer(prepared.player);
            prepared = null;
        }

        // Shows the prepared player in place of the current one, in one
        // script task: the old movie goes (its sound stops, what it saved is
        // written), the new one plays from its first frame and speaks as the
        // load `id` from now on.
        function swapIn(next, movie) {
            if (player)
                removePlayer(player);
            playing = false;
            player = next.player;
            next.entry.id = movie.id;
            document.body.style.background = movie.background || "#000";
            player.style.visibility = "";
            player.style.position = "";
            // The element's own play(), which also hides its play button.
            player.play();
            playing = true;
            if (document.activeElement === player)
                player.blur();
            focusMovie();
            post({ type: "loaded", load: movie.id, url: movie.url });
        }

        // The prepared player takes the movie when it was made for the same
        // file the same way; the control says whether its colour fits.
        function takePrepared(movie) {
            const next = prepared;
            if (!next || !movie.prepared || next.movie.url !== movie.url || next.movie.scale !== movie.scale
                || JSON.stringify(next.movie.fonts || null) !== JSON.stringify(movie.fonts || null)) {
                return false;
            }
            prepared = null;
            // Ready (as it is when it was asked for a movie ago): swapped in
            // within this very command, ahead of anything the window does next.
            if (next.ready) {
                swapIn(next, movie);
                return true;
            }
            next.started.then(
                () => {
                    if (next.dropped)
                        return;
                    waitingSwap = null;
                    swapIn(next, movie);
                },
                () => {
                    // A player that could not take its movie is left for a
                    // fresh one, as if nothing had been prepared.
                    if (next.dropped)
                        return;
                    waitingSwap = null;
                    removePlayer(next.player);
                    reporting(load, Object.assign({}, movie, { prepared: false }));
                });
            waitingSwap = next;
            return true;
        }

        function settled(promise) {
            return promise.then(() => undefined, () => undefined);
        }

        function configFor(movie) {
            const config = {
                url: movie.url,
                // Names a movie uses are looked up in its package.
                base: movie.base,
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
                urlRewriteRules: [linkRewrite],
                scale: movie.scale,
                quality: "high",
                logLevel: debugging ? "info" : "error",
            };
            if (movie.background)
                config.backgroundColor = movie.background;
            if (movie.fonts)
                Object.assign(config, movie.fonts);
            return config;
        }

        function load(movie) {
            const id = movie.id;
            const config = configFor(movie);
            // A swap still waiting for its player is overtaken by any later load.
            if (waitingSwap) {
                waitingSwap.dropped = true;
                removePlayer(waitingSwap.player);
                waitingSwap = null;
            }
            if (takePrepared(movie))
                return;
            if (warming) {
                if (!waiting)
                    warming.then((warm) => {
                        warming = null;
                        removePlayer(warm);
                        const next = waiting;
                        waiting = null;
                        if (next)
                            reporting(load, next);
                    });
                waiting = movie;
                return;
            }
            document.body.style.background = movie.background || "#000";
            const fresh = freshPlayer(id);
            fresh.load(config).then(
                () => {
                    playing = fresh === player;
                    // The engine learns of the focus from a focus event; one
                    // that came before it listened does not count.
                    if (playing && document.activeElement === fresh)
                        fresh.blur();
                    focusMovie();
                    post({ type: "loaded", load: id, url: movie.url });
                },
                (error) => post({ type: "error", load: id, message: String(error) }));
        }

        // Runs a command; what it throws is the engine's failure, reported
        // for the load it was about (a warm-up's is "warm").
        function reporting(command, args) {
            try {
                command(args);
            } catch (error) {
                post({ type: "error", load: args.id || "", message: String(error) });
            }
        }

        // The control's commands, each with one argument: the object the
        // control sent as JSON.
        const commands = {
            warm() {
                if (warming || player)
                    return;
                const warm = host.engine().createPlayer();
                warm.style.cssText = "position: absolute; left: 0; top: 0; width: 1px; height: 1px; visibility: hidden";
                document.body.appendChild(warm);
                // A movie waiting for it goes on either way; a warm-up that
                // fails is the engine's failure all the same.
                warming = warm.load({ data: new Uint8Array(warmMovie), autoplay: "on",
                    unmuteOverlay: "hidden", splashScreen: false, contextMenu: "off", letterbox: "off",
                    quality: "high", logLevel: debugging ? "info" : "error" })
                    .then(() => null, (error) => error)
                    .then((failure) => {
                        // Settled before the control hears of it: what it
                        // sends next finds the engine free. (Posting gives a
                        // promise of the control's reply, never waited for.)
                        warmSettled = true;
                        if (failure === null)
                            post({ type: "warm" });
                        else
                            post({ type: "error", load: "warm", message: String(failure) });
                        return warm;
                    });
            },
            debug() {
                debugging = true;
                for (const level of ["log", "info", "warn", "error", "debug"]) {
                    const original = window.console[level].bind(window.console);
                    window.console[level] = (...parts) => {
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
            // { items: { key: value, ... } }: what the package's movies saved.
            restore(args) {
                saved.clear();
                for (const key of Object.keys(args.items))
                    saved.set(key, String(args.items[key]));
            },
            // { id, url, base, scale, background, fonts, prepared }: with
            // `prepared` the movie made ready by "prepare" takes it when it is
            // the same.
            load: load,
            // { key, url, base, scale, background, fonts }: the movie that is
            // likely to come next, made ready out of sight; `background` is
            // its own colour (from its first tag) or null.
            // A later prepare or any other movie's load drops it.
            // A page with no movie yet (the next web process of a long run)
            // prepares its first once its warm-up has settled.
            prepare(movie) {
                dropPrepared();
                // Said when it cannot be: a load or a warm-up is on its way,
                // or the engine has not started at all.
                const unprepared = () => post({ type: "unprepared", load: String(movie.key) });
                if (waiting || waitingSwap || (!warmSettled && (warming || !player))) {
                    unprepared();
                    return;
                }
                if (warming) {
                    warming.then(removePlayer);
                    warming = null;
                }
                // A page with no movie shows the prepared one's colour
                // until it plays.
                if (!player)
                    document.body.style.background = movie.background || "#000";
                const entry = { id: null };
                const made = makePlayer(entry);
                made.style.visibility = "hidden";
                made.style.position = "absolute";
                made.style.left = made.style.top = "0";
                document.getElementById("stage").appendChild(made);
                const config = configFor(movie);
                config.autoplay = "off";
                const next = { movie: movie, entry: entry, player: made, dropped: false };
                next.started = made.load(config);
                next.started.then(() => {
                    next.ready = true;
                    if (prepared === next)
                        post({ type: "prepared", load: String(movie.key) });
                }, () => {
                    if (prepared === next) {
                        prepared = null;
                        removePlayer(made);
                        unprepared();
                    }
                });
                prepared = next;
            },
            // { color }: a CSS colour, or null for the movie's own.
            background(args) {
                document.body.style.background = args.color || "#000";
                if (player)
                    player.style.background = args.color || "";
            },
            focus: focusMovie,
            // The element's own play() and pause() (it has no resume() or
            // suspend(): those are of the engine's other interface).
            play() { if (player) player.play(); },
            stop() { if (player) player.pause(); },
            unload() {
                waiting = null;
                dropPrepared();
                if (waitingSwap) {
                    waitingSwap.dropped = true;
                    removePlayer(waitingSwap.player);
                    waitingSwap = null;
                }
                if (player)
                    removePlayer(player);
                player = null;
                post({ type: "unloaded" });
            },
        };

        return {
            // Puts the page's plumbing in place, before the engine's script.
            install() {
                // The engine's WebAssembly can fail in two ways it does not
                // recover from: a panic of its own, which it says on the
                // console ("panicked at <source>:\n<what>"), and a trap (an
                // out-of-bounds access, say) that escapes as an uncaught
                // WebAssembly.RuntimeError. Either way all the engine has made
                // is unusable from then on: the movie stops, or a load never
                // settles. That is the engine's failure, told once, whatever
                // load it came in.
                let broken = false;
                const engineBroke = (what) => {
                    if (!broken) {
                        broken = true;
                        post({ type: "error", load: "", message: what });
                    }
                };
                const consoleError = window.console.error.bind(window.console);
                window.console.error = (...parts) => {
                    const text = parts.length ? String(parts[0]) : "";
                    if (text.startsWith("panicked at")) {
                        const lines = text.split("\n").filter((line) => line.trim());
                        engineBroke("panicked: " + (lines[1] || lines[0]).trim());
                    }
                    consoleError(...parts);
                };
                const trapped = (error) => {
                    const RuntimeError = window.WebAssembly && window.WebAssembly.RuntimeError;
                    if (RuntimeError && error instanceof RuntimeError)
                        engineBroke("trapped: " + String(error.message).split(" (evaluating")[0]);
                };
                window.addEventListener("error", (event) => trapped(event.error));
                window.addEventListener("unhandledrejection", (event) => trapped(event.reason));
                Object.defineProperty(window, "localStorage", { get: () => storage, configurable: false });
                // Links a movie opens go to the control, which hands them to
                // the desktop; the page itself never opens a window.
                window.open = (url) => {
                    post({ type: "link", url: String(url) });
                    return null;
                };
                window.addEventListener("focus", focusMovie);
            },
            // After the engine's script: the page is ready once the engine
            // can make a player; without it the control hears why.
            start() {
                let engine = null;
                try {
                    engine = host.engine();
                } catch (error) {
                    engine = null;
                }
                if (engine && typeof engine.createPlayer === "function")
                    post({ type: "ready" });
                else
                    post({ type: "error", load: "", message: "the engine's script did not load" });
            },
            command(name, json) {
                if (!Object.prototype.hasOwnProperty.call(commands, name))
                    throw new Error("no such command: " + name);
                reporting(commands[name], json ? JSON.parse(json) : {});
            },
            commandNames: Object.keys(commands),
        };
    }

    if (typeof module === "object" && module.exports) {
        module.exports = { makePage };
    } else {
        const page = makePage({
            window: global,
            document: global.document,
            page: new URLSearchParams(global.location.search).get("page") || "",
            post: (message) => global.webkit.messageHandlers.quorvel.postMessage(message),
            engine: () => global.RufflePlayer && global.RufflePlayer.newest(),
        });
        page.install();
        global.quorvel = page;
    }
})(this);
