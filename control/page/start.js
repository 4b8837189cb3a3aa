"use strict";
// After the engine's script: the page tells the control whether it can play.
window.quorvel.start();
