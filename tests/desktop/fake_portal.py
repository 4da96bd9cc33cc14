#!/usr/bin/python3
# A desktop portal with only GlobalShortcuts and the appearance settings, for
# a private session bus: it answers CreateSession and BindShortcuts as the
# portal does (a Request object at the path made from the caller's name and
# handle_token, its Response signal after the reply), records every call, and
# on the test's word emits Activated or Deactivated for the last session.
# Settings.Read answers org.freedesktop.appearance color-scheme with the
# number in FAKE_PORTAL_COLOR_SCHEME (0 when unset), wrapped in a variant as
# older portals do; SetColorScheme changes it and emits SettingChanged.
#   org.orvane.TavrineTest.Portal.Calls() -> s   the calls so far, as JSON
#   org.orvane.TavrineTest.Portal.Emit(s signal, s id)
#   org.orvane.TavrineTest.Portal.SetColorScheme(u scheme)
import json
import os

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
PATH = "/org/freedesktop/portal/desktop"
IFACE = "org.freedesktop.portal.GlobalShortcuts"
TEST = "org.orvane.TavrineTest.Portal"
calls = []


class Request(dbus.service.Object):
    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, response, results):
        pass


class Session(dbus.service.Object):
    @dbus.service.method("org.freedesktop.portal.Session")
    def Close(self):
        calls.append(["Close", self.__dbus_object_path__])
        self.remove_from_connection()


def answer(sender, token, results):
    path = "%s/request/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)
    request = Request(bus, path)

    def respond():
        request.Response(dbus.UInt32(0), dbus.Dictionary(results, signature="sv"))
        request.remove_from_connection()
        return False

    GLib.idle_add(respond)
    return dbus.ObjectPath(path)


SETTINGS = "org.freedesktop.portal.Settings"
APPEARANCE = "org.freedesktop.appearance"


class Portal(dbus.service.Object):
    session = ""
    scheme = int(os.environ.get("FAKE_PORTAL_COLOR_SCHEME", "0"))

    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v")
    def Read(self, namespace, key):
        if namespace == APPEARANCE and key == "color-scheme":
            return dbus.UInt32(Portal.scheme, variant_level=1)
        raise dbus.exceptions.DBusException("no " + key, name="org.freedesktop.portal.Error.NotFound")

    @dbus.service.signal(SETTINGS, signature="ssv")
    def SettingChanged(self, namespace, key, value):
        pass

    @dbus.service.method(TEST, in_signature="u")
    def SetColorScheme(self, scheme):
        Portal.scheme = int(scheme)
        self.SettingChanged(APPEARANCE, "color-scheme", dbus.UInt32(scheme))

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == IFACE and name == "version":
            return dbus.UInt32(1)
        raise dbus.exceptions.DBusException("no " + name, name="org.freedesktop.DBus.Error.UnknownProperty")

    @dbus.service.method(IFACE, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender):
        calls.append(["CreateSession", {str(k): str(v) for k, v in options.items()}])
        path = "%s/session/%s/%s" % (PATH, sender[1:].replace(".", "_"), options["session_handle_token"])
        Session(bus, path)
        Portal.session = path
        return answer(sender, options["handle_token"], {"session_handle": path})

    @dbus.service.method(IFACE, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent, options, sender):
        calls.append(["BindShortcuts", str(session),
                      [[str(i), {str(k): str(v) for k, v in p.items()}] for i, p in shortcuts]])
        return answer(sender, options["handle_token"],
                      {"shortcuts": dbus.Array(shortcuts, signature="(sa{sv})")})

    @dbus.service.signal(IFACE, signature="osta{sv}")
    def Activated(self, session, shortcut, timestamp, options):
        pass

    @dbus.service.signal(IFACE, signature="osta{sv}")
    def Deactivated(self, session, shortcut, timestamp, options):
        pass

    @dbus.service.method(TEST, out_signature="s")
    def Calls(self):
        return json.dumps(calls)

    @dbus.service.method(TEST, in_signature="ss")
    def Emit(self, signal, shortcut):
        getattr(self, signal)(dbus.ObjectPath(Portal.session), shortcut, dbus.UInt64(0),
                              dbus.Dictionary({}, signature="sv"))


portal = Portal(bus, PATH)
name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
GLib.MainLoop().run()
