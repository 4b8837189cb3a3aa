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
#stage > * { width: 100%; height: 100%; display: block; }
</style>
</head>
<body>
<div id="stage"></div>
<script src="ruffle.js"></script>
<script>
"use strict";
(function () {
    const host = window.webkit.messageHandlers.quorvel;
    const post = (message) => host.postMessage(message);
    window.RufflePlayer = window.RufflePlayer || {};
    let player = null;

    // Every movie gets a fresh player: the engine keeps no state of the last one.
    function freshPlayer() {
        const stage = document.getElementById("stage");
        if (player)
            player.remove();
        player = window.RufflePlayer.newest().createPlayer();
        player.onFSCommand = (command, args) => {
            post({ type: "fscommand", command: String(command), args: String(args) });
            return true;
        };
        stage.appendChild(player);
        return player;
    }

    window.quorvel = {
        load(url, options) {
            const config = {
                url: url,
                autoplay: "on",
                unmuteOverlay: "hidden",
                splashScreen: false,
                contextMenu: "off",
                letterbox: "on",
                allowScriptAccess: true,
                scale: options.scale,
                quality: "high",
                logLevel: "error",
            };
            if (options.background)
                config.backgroundColor = options.background;
            document.body.style.background = options.background || "#000";
            freshPlayer().load(config).then(
                () => post({ type: "loaded", url: url }),
                (error) => post({ type: "error", message: String(error) }));
        },
        background(color) {
            document.body.style.background = color;
            if (player)
                player.style.background = color;
        },
        play() { if (player) player.resume(); },
        stop() { if (player) player.suspend(); },
    };
    post({ type: "ready" });
})();
</script>
</body>
</html>
)html";
}
