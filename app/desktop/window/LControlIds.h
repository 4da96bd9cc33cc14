// Control identifiers of the main window, as other parts of the program and
// the tests name its widgets.
#pragma once

namespace LControlIds {
enum : int {
    kIdList = 100,
    kIdNotes = 151,
    kIdControlFrame = 200,
    kIdPlay = 201,
    kIdRecord = 202,
    kIdStop = 203,
    kIdGoStart = 211,
    kIdRewind = 212,
    kIdFastForward = 213,
    kIdGoEnd = 214,
    kIdLevel = 251,
    kIdPositionText = 252,
    kIdPositionBar = 253,
    kIdStatusBar = 800,
};
} // namespace LControlIds
