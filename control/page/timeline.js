"use strict";
// For the start-up timeline (QUORVEL_TIMELINE), added to the page before
// its own scripts: the page says when the engine's WebAssembly is
// instantiated (the engine is ready to make players), and then, checked
// every second, each new size of the memory all its players share.
(function () {
    const page = new URLSearchParams(location.search).get("page") || "";
    const mark = (message) =>
        window.webkit.messageHandlers.quorvel.postMessage({ type: "timeline", page: page, message: message });
    for (const name of ["instantiateStreaming", "instantiate"]) {
        const original = WebAssembly[name];
        WebAssembly[name] = function (...args) {
            return original.apply(this, args).then((result) => {
                mark("engine ready");
                const exports = (result.instance || result).exports || {};
                if (exports.memory instanceof WebAssembly.Memory) {
                    let shown = 0;
                    setInterval(() => {
                        const size = exports.memory.buffer.byteLength;
                        if (size !== shown)
                            mark("engine memory " + (shown = size));
                    }, 1000);
                }
                return result;
            });
        };
    }
})();
