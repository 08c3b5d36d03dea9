#!/usr/bin/python3
"""Media players on the session bus for the benchmarks: each NAME owns
org.mpris.MediaPlayer2.NAME, starts "Playing", and answers PlaybackStatus,
Play and Pause as a music player would, printing each call with the time.

  mpris-players.py NAME...
"""
import sys
import time

from gi.repository import Gio, GLib

XML = """<node><interface name="org.mpris.MediaPlayer2.Player">
<method name="Play"/><method name="Pause"/><method name="PlayPause"/><method name="Stop"/>
<property name="PlaybackStatus" type="s" access="read"/></interface></node>"""
INFO = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]


class Player:
    def __init__(self, name):
        self.name, self.status = name, "Playing"
        # A connection of its own, as each player program has.
        address = Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, None)
        self.connection = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
            None, None)
        self.connection.register_object("/org/mpris/MediaPlayer2", INFO, self.call, self.get, None)
        Gio.bus_own_name_on_connection(self.connection, "org.mpris.MediaPlayer2." + name,
                                       Gio.BusNameOwnerFlags.NONE, None, None)

    def call(self, _conn, _sender, _path, _iface, method, _args, invocation):
        print("%.3f %s %s" % (time.monotonic(), self.name, method), flush=True)
        changes = {"Play": "Playing", "Pause": "Paused", "Stop": "Stopped",
                   "PlayPause": "Paused" if self.status == "Playing" else "Playing"}
        self.status = changes[method]
        self.connection.emit_signal(None, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties",
                                    "PropertiesChanged",
                                    GLib.Variant("(sa{sv}as)", ("org.mpris.MediaPlayer2.Player",
                                                               {"PlaybackStatus": GLib.Variant("s", self.status)}, [])))
        invocation.return_value(None)

    def get(self, _conn, _sender, _path, _iface, _prop):
        return GLib.Variant("s", self.status)


players = [Player(name) for name in sys.argv[1:]]
GLib.MainLoop().run()
