#pragma once

#include <ctime>

namespace platform {

// `time` broken down in the local time zone (thread-safe, unlike std::localtime).
std::tm LocalTime(std::time_t time);

}  // namespace platform
