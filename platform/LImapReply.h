// One IMAP server response read from the front of a byte buffer: tagged,
// untagged ("*") or a continuation ("+"), its words as a tree of atoms,
// strings (quoted or literal), NIL and parenthesised lists. Stateless, so the
// client's reading and the fuzz target share it. Bounded: the response's
// line bytes (literals aside), each literal, the count of words and the depth
// of lists; past a bound it answers TooLarge without waiting for the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct LImapValue {
    enum class Kind { Atom, String, Nil, List };
    Kind kind = Kind::Atom;
    std::string text; // of an atom or a string
    std::vector<LImapValue> items; // of a list

    // An atom equal to word, in any case.
    bool IsAtom(std::string_view word) const;
    // An atom of decimal digits that fits.
    bool ToNumber(uint64_t* pNumber) const;
    // An atom or a string (a name may come either way); NIL is not.
    bool IsText() const { return kind == Kind::Atom || kind == Kind::String; }
};

struct LImapResponse {
    std::string tag; // "*", "+" or the command's tag
    // Status responses (OK, NO, BAD, PREAUTH, BYE): the word in capitals, the
    // response code inside the brackets (may be empty) and the text after it.
    // A continuation's text is in text.
    std::string status;
    std::string code;
    std::string text;
    // Any other response: the words after the tag ("3 EXISTS", "LIST (...) ...").
    std::vector<LImapValue> values;

    bool IsStatus() const { return !status.empty(); }
};

class LImapReply {
public:
    enum class Result {
        Done, // a whole response; *pnUsed bytes made it
        NeedMore, // not whole yet; *pnUsed is the least buffer size worth another try
        TooLarge, // past a bound
        Bad, // not IMAP
    };
    struct Limits {
        size_t maxLineBytes = 1 << 20; // the response's bytes outside literals
        uint64_t maxLiteralBytes = 1 << 20; // each literal
        size_t maxValues = 1 << 20; // words in the response, at every depth
    };
    static constexpr int kMaxDepth = 16;

    static Result Parse(std::string_view data, const Limits& limits, LImapResponse* pResponse, size_t* pnUsed);
};
