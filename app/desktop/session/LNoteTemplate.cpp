#include "app/desktop/session/LNoteTemplate.h"

#include "foundation/LFolders.h"
#include "foundation/LPath.h"

namespace LNoteTemplate {

std::string Path()
{
    std::string base = GetUserDataFolder();
    if (base.empty())
        base = GetSharedDataFolder();
    return FilePathCat(FilePathCat(base, "Tavrine"), "TemplateNotes.txt");
}

} // namespace LNoteTemplate
