// Where the default note template lives: the new-dictation command copies it
// into the notes and the Options page opens it for editing. Any thread.
#pragma once

#include <string>

namespace LNoteTemplate {

// "TemplateNotes.txt" in the program's folder under the user's data folder,
// or under the shared one when the user has none.
std::string Path();

} // namespace LNoteTemplate
