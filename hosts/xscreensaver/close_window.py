#!/usr/bin/env python3
"""Asks the window given by its id to close, as a window manager does when its close button is
clicked: a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW, sent to the window's owner.
Plain libxcb through ctypes, on $DISPLAY."""
import ctypes
import sys

xcb = ctypes.CDLL("libxcb.so.1")


class InternAtomCookie(ctypes.Structure):
    _fields_ = [("sequence", ctypes.c_uint)]


class InternAtomReply(ctypes.Structure):
    _fields_ = [("response_type", ctypes.c_uint8), ("pad0", ctypes.c_uint8),
                ("sequence", ctypes.c_uint16), ("length", ctypes.c_uint32),
                ("atom", ctypes.c_uint32)]


xcb.xcb_connect.restype = ctypes.c_void_p
xcb.xcb_connect.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
xcb.xcb_connection_has_error.argtypes = [ctypes.c_void_p]
xcb.xcb_intern_atom.restype = InternAtomCookie
xcb.xcb_intern_atom.argtypes = [ctypes.c_void_p, ctypes.c_uint8, ctypes.c_uint16, ctypes.c_char_p]
xcb.xcb_intern_atom_reply.restype = ctypes.POINTER(InternAtomReply)
xcb.xcb_intern_atom_reply.argtypes = [ctypes.c_void_p, InternAtomCookie, ctypes.c_void_p]
xcb.xcb_send_event.argtypes = [ctypes.c_void_p, ctypes.c_uint8, ctypes.c_uint32, ctypes.c_uint32,
                               ctypes.c_char_p]
xcb.xcb_flush.argtypes = [ctypes.c_void_p]

connection = xcb.xcb_connect(None, None)
if xcb.xcb_connection_has_error(connection):
    sys.exit("close_window.py: cannot open the display")


def atom(name):
    reply = xcb.xcb_intern_atom_reply(
        connection, xcb.xcb_intern_atom(connection, 0, len(name), name.encode()), None)
    return reply.contents.atom


window = int(sys.argv[1], 0)
XCB_CLIENT_MESSAGE = 33
# xcb_client_message_event_t: type, format 32, sequence, window, message type, five 32-bit words.
event = (bytes([XCB_CLIENT_MESSAGE, 32]) + (0).to_bytes(2, "little")
         + window.to_bytes(4, "little") + atom("WM_PROTOCOLS").to_bytes(4, "little")
         + atom("WM_DELETE_WINDOW").to_bytes(4, "little") + bytes(16))
xcb.xcb_send_event(connection, 0, window, 0, event)
xcb.xcb_flush(connection)
