#include "foundation/LDateTime.h"

#include <cstdio>
#include <ctime>

LDateTime::LDateTime(uint32_t tTime)
{
    if (tTime == 0)
        return;
    time_t t = static_cast<time_t>(tTime);
    struct tm local;
    if (!localtime_r(&t, &local))
        return;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4d-%.2d-%.2d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    m_date = buf;
    std::snprintf(buf, sizeof buf, "%.2d:%.2d:%.2d", local.tm_hour, local.tm_min, local.tm_sec);
    m_time = buf;
}

uint32_t LDateTime::Now()
{
    return static_cast<uint32_t>(std::time(nullptr));
}
