// A held key on X repeats as a release and a press that arrive apart when
// the machine is busy, so a toolkit that pairs them by looking ahead in its
// queue takes some for the key going up. Asking the server for detectable
// auto-repeat (XKB) on the toolkit's own connection leaves only presses while
// the key is held and one release when it goes up. Called on the thread that
// owns the connection.
#pragma once

struct _XDisplay;

class LX11AutoRepeat {
public:
    // False when the server has no XKB or refuses: releases may then still
    // come in the middle of a hold.
    static bool MakeDetectable(_XDisplay* pDisplay);
};
