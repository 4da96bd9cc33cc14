// One settings file held in memory: the parse and the text form of a scope's
// sections of named values. A plain value object, owned by whoever made it;
// the store in LSettings.cpp adds the file handling and locking around it.
//
// Text form (one record a line, '\n' ends a line; a '\r' before it is ignored):
//
//   # Tavrine Dictate settings          comment: first non-blank char '#' or ';'
//   [Settings]                          starts a section
//   FileNumber=12                       a value of the section above
//   NotesPath=/home/ann/notes\x20       escaped trailing blank
//
// Blanks (space, tab) around a header's name, a name and a value are not part
// of them. Names and values hold any bytes but NUL through the escapes \\ \n
// \r \t and \xHH (two hex digits); the writer escapes '\\', control bytes,
// blanks at either end, '=' and ']' in names, and '[', '#', ';' opening a
// name. Sections and names compare by ASCII case folding; a file keeps the
// spelling first written. A line that breaks these rules is skipped, and so
// is every value before the first good header or under a broken one; a name
// repeated within a section keeps its first value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class LSettingsFile {
public:
    // Replaces the contents with those read from text; never fails as a whole.
    // Returns how many lines were skipped as malformed or repeated.
    size_t Parse(std::string_view text);
    std::string Serialise() const;

    // The stored value, or nullptr when the section or the name is missing.
    const std::string* Find(std::string_view section, std::string_view name) const;
    // The value names of a section as first written, in file order.
    std::vector<std::string> Names(std::string_view section) const;
    // False (and nothing changes) when a name is not valid or the value holds a NUL.
    bool Set(std::string_view section, std::string_view name, std::string_view value);
    // True when the value was there; a section left empty goes with it.
    bool Remove(std::string_view section, std::string_view name);
    bool IsEmpty() const { return m_sections.empty(); }

    // Section and value names: not empty, no NUL.
    static bool IsValidName(std::string_view name);
    static std::string FoldCase(std::string_view name);

private:
    struct Value {
        std::string szName;
        std::string szValue;
    };
    struct Section {
        std::string szName;
        std::vector<Value> values;
        std::unordered_map<std::string, size_t> index; // folded name -> position in values
    };

    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;
    Section& AddSection(std::string_view name);
    void ReindexSections();
    static void Reindex(Section& section);

    std::vector<Section> m_sections;
    std::unordered_map<std::string, size_t> m_sectionIndex; // folded name -> position in m_sections
};
