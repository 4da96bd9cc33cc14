// Date and time texts of a time stamp in local time, for the dictation list
// and the sent-work dialogs. Any thread.
#pragma once

#include <cstdint>
#include <string>

class LDateTime {
public:
    // Seconds since 1970-01-01 UTC; 0 gives two empty texts.
    explicit LDateTime(uint32_t tTime);
    const std::string& Date() const { return m_date; } // "2026-12-07"
    const std::string& Time() const { return m_time; } // "14:05:09"
    static uint32_t Now();

private:
    std::string m_date;
    std::string m_time;
};
