#include "foundation/LTokenScanner.h"

#include "foundation/LText.h"

LTokenScanner::LTokenScanner(std::string_view format, size_t maxOutput)
    : m_format(format)
    , m_maxOutput(maxOutput)
{
}

void LTokenScanner::Append(std::string_view text)
{
    if (m_output.size() >= m_maxOutput)
        return;
    m_output += CutUtf8(text, m_maxOutput - m_output.size());
}

bool LTokenScanner::NextToken(std::string* pName)
{
    while (m_pos < m_format.size()) {
        size_t pct = m_format.find('%', m_pos);
        if (pct == std::string_view::npos) {
            Append(m_format.substr(m_pos));
            m_pos = m_format.size();
            break;
        }
        Append(m_format.substr(m_pos, pct - m_pos));
        size_t close = m_format.find('%', pct + 1);
        if (close == std::string_view::npos)
            close = m_format.size();
        std::string_view name = m_format.substr(pct + 1, close - pct - 1);
        if (name.size() > 259)
            name = name.substr(0, 259);
        m_pos = close < m_format.size() ? close + 1 : close;
        if (!name.empty()) {
            *pName = std::string(name);
            return true;
        }
    }
    return false;
}
