#!/usr/bin/python3
"""Sends an X window what a window manager sends (there is none under Xvfb):
WM_DELETE_WINDOW when the user closes it, WM_TAKE_FOCUS when the user
comes back to it (Wine activates its window on that, not on the focus alone).
    wm_protocol.py WINDOW_ID WM_DELETE_WINDOW|WM_TAKE_FOCUS"""
import ctypes
import ctypes.util
import sys

x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class Event(ctypes.Union):
    _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]


display = x11.XOpenDisplay(None)
if not display:
    sys.exit("wm_protocol.py: cannot open the display")
event = Event()
event.client.type = 33  # ClientMessage
event.client.window = int(sys.argv[1], 0)
event.client.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", False)
event.client.format = 32
event.client.data[0] = x11.XInternAtom(display, sys.argv[2].encode(), False)
event.client.data[1] = 0  # CurrentTime
x11.XSendEvent(display, event.client.window, False, 0, ctypes.byref(event))
x11.XFlush(display)
x11.XCloseDisplay(display)
