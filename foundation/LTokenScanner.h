// Expands "%name%" tokens of a format text (the file-name formats of the
// recipients): plain text is copied, each token's value comes from the caller.
#pragma once

#include <string>
#include <string_view>

class LTokenScanner {
public:
    // The output is cut at maxOutput bytes (at a character boundary).
    LTokenScanner(std::string_view format, size_t maxOutput);
    // Copies plain text up to the next token; true with *pName set when a
    // token was found, false at the end of the format. "%%" prints nothing.
    bool NextToken(std::string* pName);
    // Appends a token's value to the output.
    void Append(std::string_view text);
    const std::string& Output() const { return m_output; }

private:
    std::string_view m_format;
    size_t m_pos = 0;
    size_t m_maxOutput;
    std::string m_output;
};
