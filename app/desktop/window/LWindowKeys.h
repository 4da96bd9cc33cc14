// The main window's settings: its placement and view. Any thread.
#pragma once

#include "foundation/LSettingKey.h"

namespace WindowKeys {

// Window placement (machine) and the notes divider (user).
inline constexpr LSettingKey<int> kWindowX { true, "MainWindow", "X", 160 };
inline constexpr LSettingKey<int> kWindowY { true, "MainWindow", "Y", 80 };
inline constexpr LSettingKey<int> kWindowWidth { true, "MainWindow", "Width", 500 };
inline constexpr LSettingKey<int> kWindowHeight { true, "MainWindow", "Height", 400 };
inline const LSettingKey<bool> kWindowMaximized { true, "MainWindow", "Maximized", false };
inline constexpr LSettingKey<int> kNotesDividerY { false, "MainWindow", "NotesDividerY", 200 };
// The Dictation column's width as the user last dragged it; 0: as its names need.
inline constexpr LSettingKey<int> kNameColumnWidth { false, "MainWindow", "DictationColumnWidth", 0 };

// The window's view.
inline const LSettingKey<bool> kViewNotes { false, "Settings", "ViewNotes", true };
inline const LSettingKey<bool> kTopMost { false, "Settings", "TopMost", false };

} // namespace WindowKeys
