// Makes an inbox source from its stored values: the one place that knows the
// kinds of source. Any thread.
#pragma once

#include "scribe/LInboxSource.h"
#include "scribe/LScribeSettings.h"

#include <memory>
#include <string>

std::unique_ptr<LInboxSource> MakeInboxSource(
    const LScribeSourceConfig& config, const std::string& typist, std::string* pWhy);
