#include "platform/LX11AutoRepeat.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

bool LX11AutoRepeat::MakeDetectable(_XDisplay* pDisplay)
{
    if (!pDisplay)
        return false;
    Bool bSupported = False;
    return XkbSetDetectableAutoRepeat(pDisplay, True, &bSupported) && bSupported;
}
