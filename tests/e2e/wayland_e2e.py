#!/usr/bin/env python3
"""End-to-end tests of the player as a Wayland client: each test starts its
own sway, headless and without Xwayland (1024 x 768, windows tiled as sway
does by default), runs the player with
GDK_BACKEND=wayland and no DISPLAY, reads the windows from sway's tree,
the screen with grim, types keys with wtype and clicks with a virtual
pointer of its own (below).

sway refuses to run as root. Run as root (as CI runs), the tests start it as
nobody, with its home and runtime folder in the test's scratch folder, owned
by nobody; the player, grim, wtype and swaymsg stay the test's user, which
as root may use nobody's sockets. The player gets a runtime folder of its
own and the compositor's socket as an absolute WAYLAND_DISPLAY.

    wayland_e2e.py --build BUILD_DIR [unittest arguments, e.g. Suite.test_NAME]
"""

import glob
import json
import os
import socket
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import control_e2e  # noqa: E402
import faults_e2e  # noqa: E402
import player_e2e  # noqa: E402
from player_e2e import wait_for  # noqa: E402

NOBODY = faults_e2e.NOBODY
# Linux's input codes of the pointer's buttons.
BUTTON_LEFT = 0x110
BUTTON_RIGHT = 0x111
# The test control paints loop.swf's background.
LOOP_COLOUR = (0x20, 0x60, 0xA0)

SWAY_CONFIG = """xwayland disable
output HEADLESS-1 resolution %dx%d position 0 0
default_border none
default_floating_border none
""" % player_e2e.SCREEN


class Compositor:
    """sway on the headless backend, drawn by the CPU, with no input device
    but those its clients make."""

    def __init__(self, scratch):
        self.folder = os.path.join(scratch, "sway")
        self.runtime = os.path.join(self.folder, "runtime")
        home = os.path.join(self.folder, "home")
        os.makedirs(self.runtime, 0o700)
        os.makedirs(home, 0o700)
        config = os.path.join(self.folder, "config")
        with open(config, "w") as out:
            out.write(SWAY_CONFIG)
        command = ["sway", "-c", config]
        if os.getuid() == 0:
            for path in (self.runtime, home):
                os.chown(path, NOBODY, NOBODY)
            for path in (scratch, self.folder):
                os.chmod(path, 0o711)
            os.chmod(config, 0o644)
            command = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups"] + command
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "XDG_RUNTIME_DIR": self.runtime,
               "WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1"}
        self.log = open(os.path.join(self.folder, "sway.log"), "w")
        self.process = subprocess.Popen(command, env=env, stdout=self.log, stderr=subprocess.STDOUT)
        sockets = wait_for(lambda: self.sockets(), 30.0)
        if not sockets:
            self.close()
            raise RuntimeError("sway did not start")
        self.socket, self.ipc = sockets
        self.name = ""

    def sockets(self):
        ipc = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))
        wayland = [p for p in glob.glob(os.path.join(self.runtime, "wayland-*")) if not p.endswith(".lock")]
        return ipc and wayland and (wayland[0], ipc[0])

    def close(self):
        player_e2e.VirtualDisplay.close(self)
        self.log.close()


class VirtualPointer:
    """A pointer through wlroots' virtual-pointer protocol, spoken on the
    compositor's socket directly: requests are (object, size << 16 |
    opcode, arguments) in native byte order; the pointer lasts as long as
    the connection."""

    def __init__(self, path):
        self.connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.connection.connect(path)
        self.last_id = 1  # the display
        self.pending = b""
        registry = self.new_id()
        self.send(1, 1, struct.pack("=I", registry))  # wl_display.get_registry
        names = {}

        def on_global(obj, opcode, body):
            if obj == registry and opcode == 0:  # wl_registry.global(name, interface, version)
                length = struct.unpack_from("=I", body, 4)[0]
                names[body[8:8 + length - 1].decode()] = struct.unpack_from("=I", body)[0]
        self.roundtrip(on_global)
        seat = self.bind(registry, names, "wl_seat")
        manager = self.bind(registry, names, "zwlr_virtual_pointer_manager_v1")
        self.pointer = self.new_id()
        self.send(manager, 0, struct.pack("=II", seat, self.pointer))  # create_virtual_pointer
        self.roundtrip()

    def close(self):
        self.connection.close()

    def new_id(self):
        self.last_id += 1
        return self.last_id

    def send(self, obj, opcode, body=b""):
        self.connection.sendall(struct.pack("=II", obj, (8 + len(body)) << 16 | opcode) + body)

    def bind(self, registry, names, interface):
        new = self.new_id()
        text = interface.encode() + b"\0"
        text = struct.pack("=I", len(text)) + text + b"\0" * (-len(text) % 4)
        self.send(registry, 0, struct.pack("=I", names[interface]) + text + struct.pack("=II", 1, new))
        return new

    def roundtrip(self, on_event=None):
        done = self.new_id()
        self.send(1, 0, struct.pack("=I", done))  # wl_display.sync
        while True:
            while len(self.pending) < 8 or len(self.pending) < struct.unpack_from("=I", self.pending, 4)[0] >> 16:
                chunk = self.connection.recv(65536)
                if not chunk:
                    raise OSError("the compositor closed the connection")
                self.pending += chunk
            obj, word = struct.unpack_from("=II", self.pending)
            body, self.pending = self.pending[8:word >> 16], self.pending[word >> 16:]
            if obj == 1 and word & 0xFFFF == 0:
                raise OSError("protocol error %r" % body)
            if obj == done:
                return
            if on_event:
                on_event(obj, word & 0xFFFF, body)

    @staticmethod
    def now():
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    def move(self, x, y):
        width, height = player_e2e.SCREEN
        self.send(self.pointer, 1, struct.pack("=IIIII", self.now(), x, y, width, height))  # motion_absolute
        self.send(self.pointer, 4)  # frame
        self.roundtrip()

    def click(self, button):
        for state in (1, 0):
            self.send(self.pointer, 2, struct.pack("=III", self.now(), button, state))
            self.send(self.pointer, 4)
        self.roundtrip()


class Suite(control_e2e.ControlTest):
    """The test control by default; our real control for the sample."""

    def open_display(self):
        return Compositor(self.scratch)

    def setUp(self):
        super().setUp()
        self.pointer = None
        runtime = os.path.join(self.scratch, "runtime")
        os.mkdir(runtime, 0o700)
        self.env.pop("DISPLAY", None)
        self.env.update(GDK_BACKEND="wayland", WAYLAND_DISPLAY=self.display.socket, XDG_RUNTIME_DIR=runtime)
        self.tools = dict(self.env, SWAYSOCK=self.display.ipc)
        self.register(os.path.join(player_e2e.BUILD, "tests", "quorvel_test_control.so"))

    def tearDown(self):
        if self.pointer:
            self.pointer.close()
        super().tearDown()

    def x(self, *command):
        raise AssertionError("no X11 under Wayland: %s" % (command,))

    def sway(self, *command):
        result = subprocess.run(["swaymsg"] + list(command), env=self.tools, capture_output=True, text=True)
        return result.stdout

    def views(self):
        """The windows in sway's tree, as {name, app_id, shell, x, y, width, height, fullscreen, con_id}."""
        try:
            tree = json.loads(self.sway("-t", "get_tree"))
        except ValueError:
            return []
        found = []

        def walk(node):
            if node.get("pid"):
                rect = node["rect"]
                found.append(dict(name=node.get("name"), app_id=node.get("app_id"), shell=node.get("shell"),
                                  x=rect["x"], y=rect["y"], width=rect["width"], height=rect["height"],
                                  fullscreen=node.get("fullscreen_mode") == 1, con_id=node["id"],
                                  state="IsViewable"))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(tree)
        return found

    def find_window(self, title):
        return next((v["con_id"] for v in self.views() if v["name"] == title), None)

    def geometry(self, window=None):
        return next((v for v in self.views() if v["con_id"] == (window or self.window)), None)

    def column(self, x, y, height):
        """The colours of `height` pixels from (x, y) down."""
        shot = subprocess.run(["grim", "-t", "ppm", "-g", "%d,%d 1x%d" % (x, y, height), "-"], env=self.tools,
                              capture_output=True).stdout
        # "P6", "width height" and the maximum, each on a line; then the bytes.
        lines = shot.split(b"\n", 3)
        if len(lines) < 4 or lines[0] != b"P6" or len(lines[3]) < 3 * height:
            return None
        return [tuple(lines[3][i:i + 3]) for i in range(0, 3 * height, 3)]

    def pixel(self, x, y):
        colours = self.column(x, y, 1)
        return colours[0] if colours else None

    def key(self, name):
        """Focuses the player's window, then types the key (pressed and
        released): wtype's keyboard is new with each run, so it waits a
        moment first for the toolkit to take it."""
        self.sway("[con_id=%d] focus" % self.window)
        subprocess.run(["wtype", "-s", "700", "-k", name], env=self.tools, check=True)

    def point(self, x, y):
        if not self.pointer:
            self.pointer = VirtualPointer(self.display.socket)
            self.assertTrue(wait_for(lambda: '"capabilities": 0' not in self.sway("-t", "get_seats"), 10.0))
            time.sleep(0.3)
        # The first motion only brings the pointer into the window.
        self.pointer.move(x - 1, y)
        time.sleep(0.3)
        self.pointer.move(x, y)

    def open_menu(self, x, y):
        """Right-clicks at (x, y); waits until a menu covers the movie to its
        lower right."""
        self.point(x, y)
        self.pointer.click(BUTTON_RIGHT)
        covered = wait_for(lambda: self.pixel(x + 20, y + 8) not in (None, LOOP_COLOUR), 10.0)
        self.assertTrue(covered, "no menu appeared")

    def menu_bottom(self, x, y):
        """The menu's last row: the lowest point, below (x, y), that the menu covers."""
        colours = self.column(x + 20, y + 8, player_e2e.SCREEN[1] - y - 8) or []
        return y + 8 + next((i for i, c in enumerate(colours) if c == LOOP_COLOUR), len(colours)) - 1

    def take(self, x, y):
        self.point(x, y)
        self.pointer.click(BUTTON_LEFT)

    # The tests.

    def test_the_sample_plays_in_a_wayland_window_and_escape_ends_it(self):
        os.remove(self.registry_file())  # the package's own control, installed by its first run
        self.start(self.sample_package())
        view = self.geometry()
        # Wayland's own kind of window: sway has no Xwayland and the player no DISPLAY.
        self.assertEqual(view["shell"], "xdg_shell")
        self.assertEqual((view["width"], view["height"]), (550, 400))
        self.assertTrue(self.shows(512, 560, (0x14, 0x21, 0x3D)), "the movie never showed")
        self.assertTrue(self.shows(420, 400, (0xFC, 0xA3, 0x11), 10.0), "the logo's circle never showed")
        self.key("Escape")
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])

    def test_the_menu_opens_at_the_pointer_and_quit_ends(self):
        self.start(self.package(["loop.swf"]))
        self.assertTrue(self.shows(400, 300, LOOP_COLOUR, 20.0))
        self.open_menu(300, 250)
        # Quit is the last row.
        self.take(320, self.menu_bottom(300, 250) - 8)
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])

    def test_menu_fullscreen_twice_returns_to_the_window(self):
        self.start(self.package(["loop.swf"]))
        self.assertTrue(self.shows(400, 300, LOOP_COLOUR, 20.0))
        self.open_menu(300, 250)
        self.take(320, 262)  # Fullscreen, the first row
        self.assertTrue(wait_for(lambda: self.geometry()["fullscreen"]), "not full screen")
        self.placed_at(0, 0, *player_e2e.SCREEN)
        # The movie fills the screen, not only the window's old place.
        self.assertTrue(self.shows(100, 100, LOOP_COLOUR, 10.0), "full screen shows the old window")
        self.open_menu(500, 500)
        self.take(520, 512)
        self.assertTrue(wait_for(lambda: not self.geometry()["fullscreen"]), "still full screen")
        self.assertTrue(wait_for(lambda: (self.geometry()["width"], self.geometry()["height"]) == (550, 400)))
        self.key("Escape")
        self.assertEqual(self.ended(), 0)

    def test_full_screen_start_then_a_movie_that_goes_full_screen_and_quits(self):
        self.start(self.package(["loop.swf"], "--fullscreen"))
        self.assertTrue(wait_for(lambda: self.geometry()["fullscreen"]), "not full screen")
        self.placed_at(0, 0, *player_e2e.SCREEN)
        self.key("Escape")
        self.assertEqual(self.ended(), 0)

        self.start(self.package(["fsquit.swf"]))
        self.assertTrue(wait_for(lambda: (self.geometry() or {}).get("fullscreen")), "not full screen")
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])

    def test_play_all_sizes_the_window_for_each_movie(self):
        self.start(self.package(["small.swf", "medium.swf", "large.swf"], "--play-all"))
        for width, height in ((300, 200), (400, 300), (640, 480), (300, 200)):
            sized = wait_for(lambda: (self.geometry()["width"], self.geometry()["height"]) == (width, height), 10.0)
            self.assertTrue(sized, "never %d x %d: %s" % (width, height, self.geometry()))
        self.key("Escape")
        self.assertEqual(self.ended(), 0)

    def test_a_lost_compositor_empties_the_workspace_and_ends_with_status_3(self):
        # The X11 case as it is: the display's process killed while a movie plays.
        faults_e2e.Suite.test_lost_display_empties_the_workspace(self)


player_e2e.own_tests_only(Suite, control_e2e.ControlTest)


if __name__ == "__main__":
    player_e2e.main()
