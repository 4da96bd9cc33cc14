// The data fields of a dictation's notes, as Tab and Shift+Tab walk them:
// the value of a tagged element (<client>Smith</client>, as the data prompts
// write their answers) or the rest of a line after a colon ("Client: Smith").
// Plain text in, positions out; no Qt, so any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace LNotesFields {

// The next field after the selection [nStart, nEnd) (bBackward: the one
// before it) as [*pFrom, *pTo); false when the text ends first. Positions are
// indices into text; any of them may be out of range.
inline bool Find(std::u16string_view text, long nStart, long nEnd, bool bBackward, long* pFrom, long* pTo)
{
    const long nLength = static_cast<long>(text.size());
    auto at = [&](long i) { return i >= 0 && i < nLength ? text[static_cast<size_t>(i)] : u'\0'; };
    auto find = [&](std::u16string_view what, long nFrom) {
        const size_t u = nFrom < 0 ? 0 : text.find(what, static_cast<size_t>(nFrom));
        return u == std::u16string_view::npos ? -1L : static_cast<long>(u);
    };
    // A colon's field: one blank after it skipped, then to the end of its line.
    auto lineField = [&](long nColon) {
        long nFrom = nColon + 1;
        if (at(nFrom) == u' ' || at(nFrom) == u'\t')
            ++nFrom;
        long nTo = nFrom;
        while (nTo < nLength && at(nTo) != u'\n' && at(nTo) != u'\r')
            ++nTo;
        *pFrom = nFrom;
        *pTo = nTo;
        return true;
    };
    if (!bBackward) {
        for (long i = nEnd < 0 ? 0 : nEnd; i < nLength; ++i) {
            if (at(i) == u':')
                return lineField(i);
            if (at(i) != u'<')
                continue;
            const long nClose = find(u">", i + 1);
            if (nClose < 0)
                return false;
            if (at(i + 1) == u'/') {
                // A closing tag: scan on after it.
                i = nClose;
                continue;
            }
            const long nEndTag = find(u"</", nClose + 1);
            if (nEndTag < 0)
                return false;
            *pFrom = nClose + 1;
            *pTo = nEndTag;
            return true;
        }
        return false;
    }
    // Backward from three before the selection, which passes over the
    // current field's own colon and blank or opening tag.
    for (long i = (nStart > nLength ? nLength : nStart) - 3; i >= 0; --i) {
        if (at(i) == u':') {
            // The colon that begins a line's field, not one inside its value.
            long nLineStart = i;
            while (nLineStart > 0 && at(nLineStart - 1) != u'\n' && at(nLineStart - 1) != u'\r')
                --nLineStart;
            const long nFirst = find(u":", nLineStart);
            return lineField(nFirst >= 0 && nFirst < i ? nFirst : i);
        }
        if (at(i) != u'<' || at(i + 1) != u'/')
            continue;
        long nOpen = i - 1;
        while (nOpen >= 0 && at(nOpen) != u'>')
            --nOpen;
        if (nOpen < 0)
            return false;
        *pFrom = nOpen + 1;
        *pTo = i;
        return true;
    }
    return false;
}

} // namespace LNotesFields
