"""The display's pixels read straight from the X server (XGetImage through
ctypes, no helper program), fast enough to see what a window shows for a few
milliseconds. The end-to-end tests and the benchmarks (bench/play_all.py)
both read the screen this way.
"""
import ctypes
import ctypes.util


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_IS_VIEWABLE = 2
_Z_PIXMAP = 2


class Image:
    """Pixels grabbed from the screen, 32 bits each, blue first."""

    def __init__(self, data, width, height, stride, bpp):
        self.data, self.width, self.height, self.stride, self.bpp = data, width, height, stride, bpp

    def at(self, x, y):
        """(r, g, b) of the pixel at (x, y) of the image."""
        i = y * self.stride + x * self.bpp
        return self.data[i + 2], self.data[i + 1], self.data[i]


class Screen:
    """One connection to the display: its top-level window (the largest
    viewable child of the root: there is no window manager) and the pixels
    the screen shows. Closed before its display is: a connection the server
    dropped ends the program."""

    def __init__(self, display):
        x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.POINTER(_XImage)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_XWindowAttributes)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XDisplayWidth.argtypes = x.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x = x
        # A window that goes between two requests must not end the program.
        self.on_error = _ERROR_HANDLER(lambda display, event: 0)
        x.XSetErrorHandler(self.on_error)
        self.dpy = x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)
        self.root = x.XDefaultRootWindow(self.dpy)
        self.width, self.height = x.XDisplayWidth(self.dpy, 0), x.XDisplayHeight(self.dpy, 0)

    def close(self):
        self.x.XCloseDisplay(self.dpy)

    def window(self):
        """(x, y, width, height) of the largest viewable top-level window, or None."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.dpy, self.root, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(count)):
            return None
        best = None
        attributes = _XWindowAttributes()
        for i in range(count.value):
            if not self.x.XGetWindowAttributes(self.dpy, children[i], ctypes.byref(attributes)):
                continue
            if attributes.map_state != _IS_VIEWABLE or attributes.width < 16 or attributes.height < 16:
                continue
            box = (attributes.x, attributes.y, attributes.width, attributes.height)
            if best is None or box[2] * box[3] > best[2] * best[3]:
                best = box
        if children:
            self.x.XFree(children)
        return best

    def grab(self, box):
        """The pixels of `box` (clipped to the screen) as an Image, or None."""
        x, y, w, h = box
        x0, y0 = max(x, 0), max(y, 0)
        x1, y1 = min(x + w, self.width), min(y + h, self.height)
        if x1 <= x0 or y1 <= y0:
            return None
        image = self.x.XGetImage(self.dpy, self.root, x0, y0, x1 - x0, y1 - y0, 0xFFFFFFFF, _Z_PIXMAP)
        if not image:
            return None
        im = image.contents
        data = ctypes.string_at(im.data, im.bytes_per_line * im.height)
        result = Image(data, im.width, im.height, im.bytes_per_line, im.bits_per_pixel // 8)
        self.x.XFree(im.data)
        self.x.XFree(image)
        return result
