#!/usr/bin/env python3
"""A plain X window for the hack's tests, standing in for the daemon's: made and mapped on
$DISPLAY at 0,0 with a black background, its id printed on stdout, then resized by lines of
"WIDTH HEIGHT" on stdin; it goes away at the end of stdin. With "pixmap" after the size, a
pixmap of that size is made instead, which is a drawable but no window. Plain libxcb through ctypes, so the
test needs no toolkit."""
import ctypes
import sys

xcb = ctypes.CDLL("libxcb.so.1")


class ScreenIterator(ctypes.Structure):
    _fields_ = [("data", ctypes.POINTER(ctypes.c_uint32)), ("rem", ctypes.c_int),
                ("index", ctypes.c_int)]


xcb.xcb_connect.restype = ctypes.c_void_p
xcb.xcb_connect.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_int)]
xcb.xcb_get_setup.restype = ctypes.c_void_p
xcb.xcb_get_setup.argtypes = [ctypes.c_void_p]
xcb.xcb_setup_roots_iterator.restype = ScreenIterator
xcb.xcb_setup_roots_iterator.argtypes = [ctypes.c_void_p]
xcb.xcb_generate_id.restype = ctypes.c_uint32
xcb.xcb_generate_id.argtypes = [ctypes.c_void_p]
xcb.xcb_create_window.argtypes = [
    ctypes.c_void_p, ctypes.c_uint8, ctypes.c_uint32, ctypes.c_uint32, ctypes.c_int16,
    ctypes.c_int16, ctypes.c_uint16, ctypes.c_uint16, ctypes.c_uint16, ctypes.c_uint16,
    ctypes.c_uint32, ctypes.c_uint32, ctypes.POINTER(ctypes.c_uint32)]
xcb.xcb_create_pixmap.argtypes = [ctypes.c_void_p, ctypes.c_uint8, ctypes.c_uint32, ctypes.c_uint32,
                                  ctypes.c_uint16, ctypes.c_uint16]
xcb.xcb_map_window.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
xcb.xcb_configure_window.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_uint16,
                                     ctypes.POINTER(ctypes.c_uint32)]
xcb.xcb_flush.argtypes = [ctypes.c_void_p]
xcb.xcb_connection_has_error.argtypes = [ctypes.c_void_p]

screen_number = ctypes.c_int(0)
connection = xcb.xcb_connect(None, ctypes.byref(screen_number))
if xcb.xcb_connection_has_error(connection):
    sys.exit("test_window.py: cannot open the display")
screens = xcb.xcb_setup_roots_iterator(xcb.xcb_get_setup(connection))
root = screens.data[0]  # The first screen's root; the tests use screen 0.
window = xcb.xcb_generate_id(connection)
width, height = (int(value) for value in sys.argv[1:3])
if sys.argv[3:] == ["pixmap"]:
    xcb.xcb_create_pixmap(connection, 24, window, root, width, height)
    xcb.xcb_flush(connection)
    print(f"0x{window:x}", flush=True)
    sys.stdin.read()
    sys.exit(0)
# Background pixel black, override-redirect (no window manager would place it anyway).
values = (ctypes.c_uint32 * 2)(0, 1)
xcb.xcb_create_window(connection, 0, window, root, 0, 0, width, height, 0, 1, 0,
                      0x2 | 0x200, values)
xcb.xcb_map_window(connection, window)
xcb.xcb_flush(connection)
print(f"0x{window:x}", flush=True)
for line in sys.stdin:
    size = (ctypes.c_uint32 * 2)(*(int(value) for value in line.split()))
    xcb.xcb_configure_window(connection, window, 0x4 | 0x8, size)
    xcb.xcb_flush(connection)
