// The program's icons, drawn in code so that it needs no image files or
// image plugins. GUI thread.
#pragma once

#include <QIcon>

namespace LIcons {

enum class Glyph { Play, Record, Stop, GoStart, Rewind, FastForward, GoEnd, New, Send, Dock };
enum class Record { Normal, Insert, Recording, RecordingInsert, Waiting, WaitingInsert };

// The program's icon at 16, 32 and 64 pixels.
QIcon AppIcon();
// The program's icon with a red (recording) or amber (waiting for sound) dot.
QIcon RecordingAppIcon(bool bRecording);
// A row of the list: plain, or with the clip of attachments.
QIcon DictationIcon(bool bAttachment);
QIcon GlyphIcon(Glyph glyph);
QIcon RecordIcon(Record image);

} // namespace LIcons
