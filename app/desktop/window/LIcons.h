// The program's icons: the desktop's icon theme where it has the freedesktop
// name, else a drawing of our own (an SVG in the program's resources, its
// ink taken from the palette when painted, so it suits light and dark and is
// sharp at any scale). GUI thread.
#pragma once

#include <QIcon>

namespace LIcons {

enum class Glyph { Play, Record, Stop, GoStart, Rewind, FastForward, GoEnd, New, Send, Dock };
enum class Record { Normal, Insert, Recording, RecordingInsert, Waiting, WaitingInsert };

// The program's icon, drawn from its SVG at any size.
QIcon AppIcon();
// The program's icon with a red (recording) or amber (waiting for sound) dot.
QIcon RecordingAppIcon(bool bRecording);
// A row of the list: plain, or with the clip of attachments.
QIcon DictationIcon(bool bAttachment);
QIcon GlyphIcon(Glyph glyph);
QIcon RecordIcon(Record image);

// Our own drawing of a resource name (":/icons/NAME.svg"), ink from the
// palette; for tests and for names the theme lacks.
QIcon BuiltIn(const char* szName);

} // namespace LIcons
