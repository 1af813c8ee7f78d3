// One list-directed input statement run from a word of item letters (i = integer,
// r = real), for tests and test drivers: returns the items' values separated by commas,
// "null" for a target the statement left untouched.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "consoleio/console_io.h"

constexpr std::int32_t INTEGER_UNTOUCHED = std::numeric_limits<std::int32_t>::min() + 1;

inline std::string runReadStatement(ConsoleIo& io, const std::string& word) {
    std::string values;
    beginRead(io, CONSOLE_INPUT_UNIT);
    for (char type : word) {
        if (!values.empty()) values += ',';
        if (type == 'i') {
            std::int32_t target = INTEGER_UNTOUCHED;
            readIntegerItem(io, target);
            values += target == INTEGER_UNTOUCHED ? "null" : std::to_string(target);
        } else {
            float target = std::numeric_limits<float>::quiet_NaN();
            readRealItem(io, target);
            char text[40];
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(target));
            values += std::isnan(target) ? "null" : text;
        }
    }
    endRead(io);
    return values;
}
