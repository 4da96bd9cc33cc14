# A Secret Service that takes the bus name and never answers a call, as a
# keyring waiting on a prompt nobody sees. Once the name is held it runs the
# command given and exits with its status.
# Usage (on a private bus): python3 silent_secret_service.py COMMAND [ARG...]
import subprocess
import sys

from gi.repository import Gio, GLib

XML = """<node><interface name='org.freedesktop.Secret.Service'>
<method name='OpenSession'><arg type='s' direction='in'/><arg type='v' direction='in'/>
<arg type='v' direction='out'/><arg type='o' direction='out'/></method>
<method name='SearchItems'><arg type='a{ss}' direction='in'/><arg type='ao' direction='out'/>
<arg type='ao' direction='out'/></method>
</interface></node>"""

held = []
status = [125]
loop = GLib.MainLoop()


def on_call(connection, sender, path, interface, method, parameters, invocation):
    held.append(invocation)  # kept, never answered


def run_command():
    status[0] = subprocess.run(sys.argv[1:], timeout=120).returncode
    loop.quit()
    return False


def on_acquired(connection, name):
    interface = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    connection.register_object("/org/freedesktop/secrets", interface, on_call, None, None)
    # The command runs on a thread of its own so the loop keeps taking calls.
    import threading
    threading.Thread(target=run_command, daemon=True).start()


def on_lost(connection, name):
    loop.quit()


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.secrets", 0, None, on_acquired, on_lost)
GLib.timeout_add_seconds(180, loop.quit)
loop.run()
sys.exit(status[0])
