// A JSON document read with nlohmann's parser into values that remember the
// line they start on, so that a mistake in a hand-edited file can be shown
// where it is; nlohmann's own document keeps no positions.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace menus_file {

struct JsonValue {
    enum class Type { Null, Boolean, Number, String, Array, Object };
    Type type = Type::Null;
    unsigned line = 0;
    bool boolean = false;
    bool integral = false;  // a number written without fraction or exponent
    double number = 0;
    std::string text;  // a string's UTF-8
    std::vector<JsonValue> elements;
    std::vector<std::pair<std::string, JsonValue>> members;  // in file order, keys may repeat
};

// What the file's type words are in messages: "text", "an array", ...
const char* typeName(JsonValue::Type type);

struct JsonError {
    unsigned line = 0;
    unsigned column = 0;  // in characters, from 1
    std::string message;
};

// Deeper than any menu file can be: five kinds of 1024 entries nest at most
// this far, so the limit turns away only files no store could hold.
constexpr std::size_t kMaxJsonDepth = 2 * 1024 + 8;

// Parses the whole text (UTF-8, a leading byte order mark allowed). False
// with `error` set when it is not one well-formed JSON value.
bool readJson(const std::string& text, JsonValue& out, JsonError& error);

}  // namespace menus_file
