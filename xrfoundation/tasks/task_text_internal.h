// tasks/task_text_internal.h: how the task classes write an absent text in their log lines.
#pragma once
#include <optional>
#include <string>

#include "xrfoundation/platform/log_internal.h"

namespace xr {

// The text, or "(null)" when it is absent, as the console log has always shown it.
inline std::string textOrNull(const std::optional<std::string>& text) {
  return text ? *text : std::string(kNullText);
}

}  // namespace xr
