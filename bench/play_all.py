#!/usr/bin/env python3
"""Play-all as the person in front of the window sees it, sampled by pixels.

usage: bench/play_all.py [--changes N] [--starts N] [--bare] [--soak N] [--every N]
                         [--interval MS] [--build BUILD_DIR]

Writes ten small movies (each a one-second loop at 12 fps: a stage of its
own colour with a rectangle of a second colour in its middle, in three
sizes by turns), packs them with --play-all and plays them under Xvfb,
reading the player window's pixels every few milliseconds straight from the
X server (XGetImage through ctypes, no helper program).

- the change gap (default): over --changes movie changes, how much longer
  than its own loop (1 s) each movie stays on screen, from its first frame
  (its rectangle in its colours at its size) to the next movie's first
  frame; the median against one frame of the incoming movie (83 ms); and
  every sample between two movies that is neither of them (another colour,
  black, GTK's grey, white, or a movie at another movie's size). A marker
  that moves each frame splits the time: the movie's own loop as drawn
  (first frame to the end of its last), the outgoing movie on screen after
  it, and the time from its last sight to the next movie's first frame;
  the player's QUORVEL_TIMELINE marks of each change (movie given,
  requested, started) are set against the screen;
- the start (--starts N, 3 by default; 0 leaves it out): N launches of a
  package of one of the movies, every sample from the window's first paint
  to the movie's first frame classified: its stage colour and black are
  fine, GTK's grey (#F6F5F4) and white are a flash; --bare takes the bare
  web view (quorvel-bench-bare-view, the same engine page in a plain
  window) in turn with the player;
- the soak (--soak N): N movie changes (counted by pixels) with the PSS of
  the player and all its processes (web, network, bus) every --every
  changes (100), its growth after the first 100 changes, and the lines on
  stderr grouped by kind.
"""
import argparse
import colorsys
import os
import re
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import first_frame as ff  # noqa: E402
# The screen's pixels as the end-to-end tests read them.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "e2e"))
from xscreen import Screen  # noqa: E402

FPS = 12
FRAMES = 12
LOOP_S = FRAMES / FPS
GOAL_GAP_S = 1 / FPS                 # one frame of the incoming movie
GOAL_SOAK_GROWTH_MB = 30
SIZES = ((320, 240), (400, 300), (480, 360))
GREY = (0xF6, 0xF5, 0xF4)            # GTK's (Adwaita's) window background
WHITE = (0xFF, 0xFF, 0xFF)
BLACK = (0, 0, 0)
TOLERANCE = 8                        # per channel, for antialiased or dithered pixels
GRID = (16, 12)                      # points classified in each sample
START_TIMEOUT = 40.0
# The player's timeline marks of a movie change (docs/flash-control.md).
CHANGE_STEPS = ("movie given", "movie requested", "movie started")


# ---------------------------------------------------------------------------
# The movies: uncompressed SWF 6, a background colour, one rectangle shape
# placed at depth 1, FRAMES frames at FPS, looping.

class Bits:
    def __init__(self):
        self.out, self.acc, self.n = bytearray(), 0, 0

    def put(self, value, count):
        for i in range(count - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                self.acc, self.n = 0, 0

    def signed(self, value, count):
        self.put(value & ((1 << count) - 1), count)

    def align(self):
        if self.n:
            self.put(0, 8 - self.n)
        return bytes(self.out)


def signed_bits(*values):
    return max(max(abs(v).bit_length() + 1 for v in values), 2)


def rect(xmin, xmax, ymin, ymax):
    b = Bits()
    n = signed_bits(xmin, xmax, ymin, ymax)
    b.put(n, 5)
    for v in (xmin, xmax, ymin, ymax):
        b.signed(v, n)
    return b.align()


def tag(code, body=b""):
    if len(body) < 63:
        return struct.pack("<H", (code << 6) | len(body)) + body
    return struct.pack("<HI", (code << 6) | 63, len(body)) + body


def rectangle_shape(shape_id, x0, y0, x1, y1, colour):
    """DefineShape: a rectangle in one solid colour, no lines."""
    records = Bits()
    # Style change: move to (x0, y0), fill style 1.
    records.put(0, 1)
    records.put(0b00101, 5)  # new styles 0, line 0, fill1 1, fill0 0, move 1
    n = signed_bits(x0, y0)
    records.put(n, 5)
    records.signed(x0, n)
    records.signed(y0, n)
    records.put(1, 1)        # fill style 1
    for dx, dy in ((x1 - x0, 0), (0, y1 - y0), (x0 - x1, 0), (0, y0 - y1)):
        n = signed_bits(dx, dy)
        records.put(1, 1)    # edge
        records.put(1, 1)    # straight
        records.put(n - 2, 4)
        records.put(0, 1)    # not general: vertical or horizontal
        records.put(1 if dx == 0 else 0, 1)
        records.signed(dy if dx == 0 else dx, n)
    records.put(0, 6)        # end of shape
    # One solid fill, no line styles; 1 fill bit, 0 line bits.
    return tag(2, struct.pack("<H", shape_id) + rect(x0, x1, y0, y1) + bytes([1, 0x00, *colour, 0, 0x10])
               + records.align())


def translation(x, y):
    b = Bits()
    b.put(0, 1)              # no scale
    b.put(0, 1)              # no rotation
    n = signed_bits(x, y)
    b.put(n, 5)
    b.signed(x, n)
    b.signed(y, n)
    return b.align()


def marker_box(width, height, frame):
    """The frame marker's square in pixels: (x, y, side), in the stage's top band."""
    side = height // 12
    return width // 32 + frame * (width // 16), height // 24, side


def movie(width, height, stage, drawing):
    """The stage in `stage`, a rectangle of `drawing` in its middle half, and
    a small square of `drawing` in its top band that moves one step right
    each frame (so that the frames can be told apart on screen)."""
    tw, th = width * 20, height * 20
    body = rect(0, tw, 0, th) + struct.pack("<BBH", 0, FPS, FRAMES)
    body += tag(9, bytes(stage))
    body += rectangle_shape(1, tw // 4, th // 4, tw * 3 // 4, th * 3 // 4, drawing)
    _, _, side = marker_box(width, height, 0)
    body += rectangle_shape(2, 0, 0, side * 20, side * 20, drawing)
    body += tag(26, bytes([0x02]) + struct.pack("<HH", 1, 1))   # PlaceObject2: character 1 at depth 1
    for frame in range(FRAMES):
        x, y, _ = marker_box(width, height, frame)
        if frame == 0:      # character 2 at depth 2, with its matrix
            body += tag(26, bytes([0x06]) + struct.pack("<HH", 2, 2) + translation(x * 20, y * 20))
        else:               # moved: a new matrix for depth 2
            body += tag(26, bytes([0x05]) + struct.pack("<H", 2) + translation(x * 20, y * 20))
        body += tag(1)
    body += tag(0)
    return b"FWS" + bytes([6]) + struct.pack("<I", 8 + len(body)) + body


def palette(count=10):
    """Stage and drawing colours, all far from each other, black, white and grey."""
    movies = []
    for i in range(count):
        h = i / count
        stage = tuple(round(c * 255) for c in colorsys.hsv_to_rgb(h, 0.85, 0.45))
        drawing = tuple(round(c * 255) for c in colorsys.hsv_to_rgb((h + 0.05) % 1, 0.55, 0.95))
        movies.append({"name": f"m{i}.swf", "size": SIZES[i % len(SIZES)], "stage": stage,
                       "drawing": drawing})
    return movies


def near(a, b):
    return abs(a[0] - b[0]) <= TOLERANCE and abs(a[1] - b[1]) <= TOLERANCE and abs(a[2] - b[2]) <= TOLERANCE


# ---------------------------------------------------------------------------
# What one sample shows.

class Palette:
    def __init__(self, movies):
        self.movies = movies
        self.known = [("grey", GREY), ("white", WHITE), ("black", BLACK)]
        for i, m in enumerate(movies):
            self.known.append((("stage", i), m["stage"]))
            self.known.append((("drawing", i), m["drawing"]))

    def name(self, colour):
        for name, value in self.known:
            if near(colour, value):
                return name
        return "other"


def run_length(image, x, y, dx, dy, colour):
    """How many pixels from (x, y) in the direction (dx, dy) are `colour`."""
    n = 0
    while 0 <= x < image.width and 0 <= y < image.height and near(image.at(x, y), colour):
        n += 1
        x += dx
        y += dy
    return n


def describe(image, pal):
    """(state, classes): state is ("movie", i, (w, h)) when movie i's
    rectangle shows inside its stage (w x h, measured along the middle row
    and column), ("stage", i, (w, h)) for its stage alone, else the name of
    the most common colour class; classes is the set of colour classes on
    a grid over the whole window."""
    classes = set()
    for gy in range(GRID[1]):
        for gx in range(GRID[0]):
            px = (2 * gx + 1) * image.width // (2 * GRID[0])
            py = (2 * gy + 1) * image.height // (2 * GRID[1])
            classes.add(pal.name(image.at(px, py)))
    cx, cy = image.width // 2, image.height // 2
    centre = pal.name(image.at(cx, cy))
    if isinstance(centre, tuple):
        kind, i = centre
        m = pal.movies[i]
        if kind == "drawing":
            # Across the rectangle, then across the stage on either side.
            left = run_length(image, cx, cy, -1, 0, m["drawing"])
            right = run_length(image, cx, cy, 1, 0, m["drawing"])
            up = run_length(image, cx, cy, 0, -1, m["drawing"])
            down = run_length(image, cx, cy, 0, 1, m["drawing"])
            sl = run_length(image, cx - left, cy, -1, 0, m["stage"])
            sr = run_length(image, cx + right, cy, 1, 0, m["stage"])
            su = run_length(image, cx, cy - up, 0, -1, m["stage"])
            sd = run_length(image, cx, cy + down, 0, 1, m["stage"])
            if sl and sr and su and sd:
                size = (left + right - 1 + sl + sr, up + down - 1 + su + sd)
                return ("movie", i, size, frame_of(image, m, size)), classes
            return ("drawing", i, (left + right - 1, up + down - 1)), classes
        w = run_length(image, cx, cy, -1, 0, m["stage"]) + run_length(image, cx, cy, 1, 0, m["stage"]) - 1
        h = run_length(image, cx, cy, 0, -1, m["stage"]) + run_length(image, cx, cy, 0, 1, m["stage"]) - 1
        return ("stage", i, (w, h)), classes
    return centre, classes


def frame_of(image, m, size):
    """The frame number the marker shows, or None (the movie not at its size)."""
    if not same_size(size, m["size"]) or image.width < size[0] or image.height < size[1]:
        return None
    w, h = m["size"]
    x0, y0, side = marker_box(w, h, 0)
    y = y0 + side // 2
    for x in range(0, w):
        if near(image.at(x, y), m["drawing"]):
            frame = round((x - x0) / (w // 16))
            return frame if 0 <= frame < FRAMES else None
    return None


def same_size(a, b):
    return abs(a[0] - b[0]) <= 2 and abs(a[1] - b[1]) <= 2


def label(state, pal):
    if isinstance(state, tuple):
        kind, i, (w, h) = state[:3]
        if kind == "movie":
            return f"m{i} at {w}x{h}"
        if kind == "stage":
            return f"m{i}'s stage at {w}x{h}"
        return f"m{i}'s rectangle, {w}x{h}, in another colour"
    return state


# ---------------------------------------------------------------------------
# Running the player.

def make_package(args, work, movies, name, play_all=True):
    folder = os.path.join(work, "movies")
    os.makedirs(folder, exist_ok=True)
    paths = []
    for m in movies:
        path = os.path.join(folder, m["name"])
        with open(path, "wb") as f:
            f.write(movie(*m["size"], m["stage"], m["drawing"]))
        paths.append(path)
    package = os.path.join(work, name)
    command = [os.path.join(args.build, "quorvel-pack"), "build", "-o", package]
    if play_all:
        command.append("--play-all")
    subprocess.run(command + paths, check=True, stdout=subprocess.DEVNULL)
    return package


def launch(package, env, errors):
    return subprocess.Popen([package], env=env, stdout=subprocess.DEVNULL, stderr=errors)


def stop(proc, env):
    subprocess.run(["xdotool", "key", "Escape"], env=env, capture_output=True)
    try:
        proc.wait(timeout=5)
    except subprocess.TimeoutExpired:
        ff.kill_tree(proc)


def sample(screen, pal):
    """(time, window box, state, classes) now; state None without a window."""
    t = time.monotonic()
    box = screen.window()
    if box is None:
        return t, None, None, set()
    image = screen.grab(box)
    if image is None:
        return t, box, None, set()
    state, classes = describe(image, pal)
    return t, box, state, classes


def is_movie(state, i, pal):
    return (isinstance(state, tuple) and state[0] == "movie" and state[1] == i
            and same_size(state[2], pal.movies[i]["size"]))


def first_movie_frame(state, pal):
    """The index of the movie this state shows whole at its own size, or None."""
    if isinstance(state, tuple) and state[0] == "movie" and same_size(state[2], pal.movies[state[1]]["size"]):
        return state[1]
    return None


def flash_of(samples, start, first_frame_at, pal, stage_index):
    """From the window's first paint to the first frame: ms of each colour
    class (a sample stands until the next), and the order they came in."""
    shown = [s for s in samples if s[1] is not None and s[2] is not None and s[0] < first_frame_at]
    spans, order = {}, []
    for k, s in enumerate(shown):
        end = shown[k + 1][0] if k + 1 < len(shown) else first_frame_at
        kinds = set()
        for c in s[3]:
            if c in ("grey", "white", "black"):
                kinds.add(c)
            elif c == ("stage", stage_index):
                kinds.add("stage")
            elif isinstance(c, tuple) and c[1] == stage_index:
                kinds.add("drawing")
            else:
                kinds.add("other")
        key = "+".join(sorted(kinds)) or "nothing"
        spans[key] = spans.get(key, 0.0) + (end - s[0])
        if not order or order[-1][0] != key:
            order.append([key, 0.0])
        order[-1][1] += end - s[0]
    painted = shown[0][0] - start if shown else None
    return painted, spans, order


def flash_line(order):
    return " -> ".join(f"{k} {ms * 1000:.0f}" for k, ms in order) or "(no sample before the first frame)"


# ---------------------------------------------------------------------------

def change_gaps(args, env, screen, pal, package, work):
    """Plays the package until --changes changes were seen; returns the report."""
    errors = open(os.path.join(work, "stderr-gaps.txt"), "w+")
    # The player's timeline marks (QUORVEL_TIMELINE) carry the same clock as
    # time.monotonic(): each change's steps line up with the samples.
    marks_read, marks_write = os.pipe()
    start = time.monotonic()
    proc = subprocess.Popen([package], env=dict(env, QUORVEL_TIMELINE=str(marks_write)),
                            stdout=subprocess.DEVNULL, stderr=errors, pass_fds=(marks_write,))
    os.close(marks_write)
    marks = []
    samples = []
    first_at = None
    changes = []           # (from index, to index, time)
    current, since = None, None
    cpu0 = time.process_time()
    try:
        while proc.poll() is None:
            now = time.monotonic()
            if first_at is None and now - start > START_TIMEOUT:
                break
            # A movie that stays for ten of its loops: the player stopped changing.
            if since is not None and now - since > 10 * LOOP_S:
                print(f"no change for {now - since:.0f} s: stopped waiting")
                break
            s = sample(screen, pal)
            samples.append(s)
            if len(samples) % 50 == 0:
                marks += ff.read_marks(marks_read, 0.0)
            j = first_movie_frame(s[2], pal)
            if j is not None and j != current:
                if current is None:
                    first_at = s[0]
                else:
                    changes.append((current, j, s[0], since))
                current, since = j, s[0]
                if len(changes) >= args.changes:
                    break
            time.sleep(args.interval / 1000)
    finally:
        cpu = time.process_time() - cpu0
        marks += ff.read_marks(marks_read, 0.0)
        stop(proc, env)
        os.close(marks_read)
    errors.seek(0)
    stderr_lines = [line for line in errors if line.strip()]
    errors.close()
    return {"start": start, "samples": samples, "first": first_at, "changes": changes, "cpu": cpu,
            "stderr": stderr_lines, "marks": marks}


def report_gaps(result, pal):
    samples, changes = result["samples"], result["changes"]
    if result["first"] is None:
        print("the first movie never showed")
        return None
    times = [s[0] for s in samples]
    steps = [b - a for a, b in zip(times, times[1:])]
    span = times[-1] - times[0] if len(times) > 1 else 0
    print(f"samples: {len(samples)} over {span:.1f} s, every {statistics.median(steps) * 1000:.1f} ms "
          f"(median; longest {max(steps) * 1000:.0f} ms); the sampler used "
          f"{result['cpu'] / span * 100 if span else 0:.0f} % of a core")
    print(f"first movie's first frame {result['first'] - result['start']:.2f} s after the launch")
    print()
    print(f"{'change':>12} {'on screen s':>12} {'gap ms':>7} {'loop s':>7} {'after ms':>9} {'then ms':>8} "
          f"{'frames':>7}  what the window showed then")
    gaps, loops, afters, thens, timelines, faults = [], [], [], [], [], 0
    for old, new, at, since in changes:
        on = at - since
        gap = on - LOOP_S
        gaps.append(gap)
        k_since = next(k for k, s in enumerate(samples) if s[0] == since)
        k_at = next(k for k, s in enumerate(samples) if s[0] == at)
        # The old movie's last sight, and what came after it until the new
        # movie's first frame.
        k_last = k_at - 1
        while k_last >= 0 and not is_movie(samples[k_last][2], old, pal):
            k_last -= 1
        between = {}
        for k in range(k_last + 1, k_at):
            s = samples[k]
            state = s[2]
            if isinstance(state, tuple) and state[0] == "stage" and state[1] == new \
                    and same_size(state[2], pal.movies[new]["size"]):
                name = "next stage (fine)"
            else:
                name = label(state, pal) if state is not None else "no window"
                faults += 1
            between[name] = between.get(name, 0.0) + (samples[k + 1][0] - s[0])
        old_until = samples[k_last + 1][0] if k_last >= 0 else since
        thens.append(at - old_until)
        # The old movie's own loop, by its frame marker: from its first frame
        # to the first sight of its last frame, and that frame's own time.
        frames = {samples[k][2][3] for k in range(k_since, k_last + 1) if is_movie(samples[k][2], old, pal)}
        frames.discard(None)
        last = next((samples[k][0] for k in range(k_since, k_last + 1)
                     if is_movie(samples[k][2], old, pal) and samples[k][2][3] == FRAMES - 1), None)
        steps = {"outgoing last seen": old_until - since, "incoming first frame": on}
        for step, when in result["marks"]:
            if step in CHANGE_STEPS and since < when <= at and step not in steps:
                steps[step] = when - since
        if last is not None:
            loop = last - since + 1 / FPS
            steps = {k: v - loop for k, v in steps.items()}
            steps["outgoing movie's loop over (its last frame's time)"] = 0.0
            timelines.append(steps)
            loops.append(loop)
            afters.append(old_until - since - loop)
            loop_text, after_text = f"{loop:7.3f}", f"{(old_until - since - loop) * 1000:9.0f}"
        else:
            loop_text, after_text = f"{'-':>7}", f"{'-':>9}"
        unexpected = "" if new == (old + 1) % len(pal.movies) else "  (skipped a movie)"
        text = ", ".join(f"{n} {ms * 1000:.0f} ms" for n, ms in between.items()) or "-"
        print(f"{f'm{old} -> m{new}':>12} {on:12.3f} {gap * 1000:7.0f} {loop_text} {after_text} "
              f"{(at - old_until) * 1000:8.0f} {len(frames):4d}/{FRAMES:<2d}  {text}{unexpected}")
    if not gaps:
        print("no change seen")
        return None
    median = statistics.median(gaps)
    print()
    print(f"change gap (on screen - {LOOP_S:.3f} s) over {len(gaps)} changes: median {median * 1000:.0f} ms, "
          f"best {min(gaps) * 1000:.0f}, worst {max(gaps) * 1000:.0f}")
    if loops:
        print(f"  the movies' own loops (frame marker, first frame to the end of the last): median "
              f"{statistics.median(loops):.3f} s; the outgoing movie on screen after its loop: median "
              f"{statistics.median(afters) * 1000:.0f} ms")
    print(f"  from the outgoing movie's last sight to the incoming movie's first frame: median "
          f"{statistics.median(thens) * 1000:.0f} ms")
    if timelines:
        print(f"  a change step by step, ms from the end of the outgoing movie's loop, medians of "
              f"{len(timelines)} (the player's marks and the screen):")
        names = {n for t in timelines for n in t}
        for name in sorted(names, key=lambda n: statistics.median([t[n] for t in timelines if n in t])):
            values = [t[name] for t in timelines if name in t]
            count = "" if len(values) == len(timelines) else f"  ({len(values)} changes)"
            print(f"    {statistics.median(values) * 1000:7.0f}  {name}{count}")
    print(f"samples of another colour or size between two movies: {faults}")
    met = median <= GOAL_GAP_S and faults == 0
    print(f"goal: median change gap <= {GOAL_GAP_S * 1000:.0f} ms and no frame between two movies: "
          f"{'met' if met else 'NOT met'}")
    painted, spans, order = flash_of(samples, result["start"], result["first"], pal, 0)
    print(f"start of the play-all run (ms from the window's first paint): {flash_line(order)}")
    return median


def starts(args, env, screen, pal, movies, work):
    package = make_package(args, os.path.join(work, "one"), movies[:1], "one", play_all=False)
    rows = {"player": [package]}
    if args.bare:
        rows["bare web view"] = [os.path.join(args.build, "bench", "quorvel-bench-bare-view"),
                                 os.path.join(work, "movies", movies[0]["name"])]
    runs = {row: [] for row in rows}
    print(f"the start: {args.starts} launches of a package of m0 (stage #{bytes(movies[0]['stage']).hex()}, "
          f"rectangle #{bytes(movies[0]['drawing']).hex()}){', in turn with the bare web view' if args.bare else ''}; "
          f"ms of each kind of frame, from the window's first paint to the movie's first frame")
    for n in range(args.starts):
        for row, command in rows.items():
            start = time.monotonic()
            proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            samples, first = [], None
            try:
                while proc.poll() is None and time.monotonic() - start < START_TIMEOUT:
                    s = sample(screen, pal)
                    samples.append(s)
                    if is_movie(s[2], 0, pal):
                        first = s[0]
                        break
                    time.sleep(args.interval / 1000)
            finally:
                if row == "player":
                    stop(proc, env)
                else:
                    ff.kill_tree(proc)
            if first is None:
                print(f"  {row}, run {n + 1}: no first frame")
                continue
            painted, spans, order = flash_of(samples, start, first, pal, 0)
            runs[row].append(spans)
            print(f"  {row}, run {n + 1}: painted at {painted:.2f} s, first frame at {first - start:.2f} s: "
                  f"{flash_line(order)}")
    for row in rows:
        for kind in ("grey", "white"):
            ms = [sum(v for k, v in r.items() if kind in k) * 1000 for r in runs[row]]
            if ms:
                print(f"  {row}, {kind}: median {statistics.median(ms):.0f} ms a start "
                      f"(runs: {', '.join(f'{v:.0f}' for v in ms)})")
    flashes = [r for r in runs["player"] if any("grey" in k or "white" in k or "other" in k for k in r)]
    print(f"goal: only the stage colour or black before the first frame: "
          f"{'met' if runs['player'] and not flashes else 'NOT met'} ({len(flashes)} of {len(runs['player'])} "
          f"starts of the player flash)")


def tree_pss_kb(root):
    """PSS in kB by kind: the player's own process, its web processes, and
    the others it started (network process, session bus, sandbox)."""
    parts = {"player": 0, "web": 0, "others": 0, "web anon": 0, "web processes": 0}
    for pid in ff.process_tree(root):
        kind = ("player" if pid == root else "web" if ff.command_name(pid).startswith("WebKitWebProces")
                else "others")
        parts[kind] += ff.pss_kb(pid)
        if kind == "web":
            parts["web anon"] += anonymous_kb(pid)
            parts["web processes"] += 1
    return parts


def anonymous_kb(pid):
    """A process's own anonymous memory: unlike PSS, it does not move when
    other programs map the same libraries or end."""
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                if line.startswith("Anonymous:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def soak(args, env, screen, pal, package, work):
    errors = open(os.path.join(work, "stderr-soak.txt"), "w+")
    start = time.monotonic()
    proc = launch(package, env, errors)
    current, since, changes, points = None, None, 0, []
    print(f"soak: {args.soak} changes of ten one-second movies; PSS of the player and all its processes "
          f"every {args.every} changes")
    print(f"{'changes':>8} {'min':>6} {'PSS MB':>8} {'web MB':>8} {'player MB':>10} {'others MB':>10} "
          f"{'web anon':>9} {'web procs':>9} {'stderr':>7}")
    try:
        while proc.poll() is None and changes < args.soak:
            now = time.monotonic()
            if current is None and now - start > START_TIMEOUT:
                break
            if current is not None and now - since > 10 * LOOP_S:
                print(f"no change for {now - since:.0f} s: stopped waiting")
                break
            s = sample(screen, pal)
            j = first_movie_frame(s[2], pal)
            if j is not None and j != current:
                if current is not None:
                    changes += 1
                    if changes % args.every == 0:
                        parts = tree_pss_kb(proc.pid)
                        web, player, anon = parts["web"] / 1024, parts["player"] / 1024, parts["web anon"] / 1024
                        total = web + player + parts["others"] / 1024
                        errors.flush()
                        with open(errors.name) as f:
                            lines = sum(1 for line in f if line.strip())
                        points.append((changes, total, web, anon))
                        print(f"{changes:8d} {(now - start) / 60:6.1f} {total:8.1f} {web:8.1f} {player:10.1f} "
                              f"{total - web - player:10.1f} {anon:9.1f} {parts['web processes']:9d} {lines:7d}",
                              flush=True)
                current, since = j, s[0]
            time.sleep(0.03)
        ended = proc.poll()
    finally:
        stop(proc, env)
    errors.seek(0)
    lines = [line.rstrip("\n") for line in errors if line.strip()]
    errors.close()
    if ended is not None:
        print(f"the player ended early (status {ended})")
    # Growth from the first point at or after 100 changes (the first
    # point when the run is shorter).
    base = next((p for p in points if p[0] >= 100), points[0] if points else None)
    if base is not None and points[-1][0] > base[0]:
        growth = points[-1][1] - base[1]
        web = points[-1][2] - base[2]
        anon = points[-1][3] - base[3]
        per = growth * 1024 / (points[-1][0] - base[0])
        print(f"from the point at {base[0]} changes to the last: {growth:+.1f} MB PSS (web processes {web:+.1f} MB, "
              f"their anonymous memory {anon:+.1f} MB) over {points[-1][0] - base[0]} changes, {per:.0f} kB a change")
        # The control hands over to a fresh web process every so many
        # movies, so the curve is a saw: two single points can fall on a
        # tooth's foot and its top. The trend is the line through all the
        # points from the base on, and the teeth are compared half by half.
        later = [p for p in points if p[0] >= base[0]]
        trend = {}
        for column, name in ((1, "PSS"), (3, "web anon")):
            xs, ys = [p[0] for p in later], [p[column] for p in later]
            mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
            sxx = sum((x - mx) ** 2 for x in xs)
            trend[name] = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sxx * 1000 if sxx else 0.0
        half = len(later) // 2
        first, last = later[:max(half, 1)], later[half:]
        print(f"trend through the {len(later)} points from {base[0]} changes on: PSS {trend['PSS']:+.1f} MB per "
              f"1,000 changes, web anonymous memory {trend['web anon']:+.1f} MB per 1,000 changes")
        print(f"PSS, first half of those points: {min(p[1] for p in first):.1f} to {max(p[1] for p in first):.1f} "
              f"MB; second half: {min(p[1] for p in last):.1f} to {max(p[1] for p in last):.1f} MB")
        grown = max(trend["PSS"] * (points[-1][0] - base[0]) / 1000,
                    max(p[1] for p in last) - max(p[1] for p in first))
        if changes >= 2000:
            verdict = ("met" if grown < GOAL_SOAK_GROWTH_MB else "NOT met") + f" (grown {grown:+.1f} MB: the "\
                "larger of the trend over the run and the rise of the highest point from the first half to the second)"
        else:
            # A shorter run shows the rate, not the goal.
            verdict = (f"not shown by {changes} changes; at this trend 2,000 would add "
                       f"{trend['PSS'] * (2000 - base[0]) / 1000:+.0f} MB")
        print(f"goal: < {GOAL_SOAK_GROWTH_MB} MB PSS after the first 100 over 2,000 changes: {verdict}")
    print(f"changes seen: {changes}; stderr lines: {len(lines)}")
    kinds = {}
    for line in lines:
        key = re.sub(r"\d\d:\d\d:\d\d\.\d+|\(\w+:\d+\)", "", line).strip()[:100]
        kinds[key] = kinds.get(key, 0) + 1
    for key, count in sorted(kinds.items(), key=lambda k: -k[1])[:5]:
        print(f"  {count:5d} x {key}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--changes", type=int, default=20, help="movie changes for the change gap (0: none)")
    parser.add_argument("--starts", type=int, default=3, help="launches for the start's flash check (0: none)")
    parser.add_argument("--bare", action="store_true", help="the start's check for the bare web view too")
    parser.add_argument("--soak", type=int, default=0, metavar="N", help="a soak of N changes instead")
    parser.add_argument("--every", type=int, default=100, help="changes between two soak points")
    parser.add_argument("--interval", type=float, default=4.0, help="ms between two samples")
    parser.add_argument("--keep", action="store_true", help="keep the work folder (movies, package, stderr)")
    args = parser.parse_args()

    movies = palette()
    pal = Palette(movies)
    work = tempfile.mkdtemp(prefix="quorvel-play-all-")
    env = dict(os.environ, HOME=work, TMPDIR=work, LC_ALL="C")
    env.pop("XDG_DATA_HOME", None)
    package = make_package(args, work, movies, "play-all")
    xvfb = ff.start_display(env)
    try:
        screen = Screen(env["DISPLAY"])
    except RuntimeError as error:
        sys.exit(str(error))
    print(f"load average {', '.join(f'{v:.1f}' for v in os.getloadavg())} on {os.cpu_count()} cores, "
          f"{time.strftime('%H:%M UTC', time.gmtime())}")
    try:
        if args.soak:
            soak(args, env, screen, pal, package, work)
        else:
            if args.changes:
                result = change_gaps(args, env, screen, pal, package, work)
                print(f"play-all of ten movies ({', '.join(f'{w}x{h}' for w, h in SIZES)} by turns, "
                      f"{FRAMES} frames at {FPS} fps)")
                report_gaps(result, pal)
                print(f"stderr lines: {len(result['stderr'])}")
                for line in list(dict.fromkeys(line.rstrip() for line in result["stderr"]))[:3]:
                    print(f"  {line[:160]}")
                print()
            if args.starts:
                starts(args, env, screen, pal, movies, work)
        print(f"load average at the end {', '.join(f'{v:.1f}' for v in os.getloadavg())}")
    finally:
        xvfb.terminate()
        if args.keep:
            print(f"work folder: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
