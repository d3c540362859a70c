#include "located_json.h"

#include <cstdint>
#include <iterator>

#include <nlohmann/json.hpp>

namespace menus_file {

namespace {

// Counts the bytes the parser has taken: at each event of the SAX interface
// the parser has just read the last byte of the token it reports (a number
// one byte more, the one that ended it), which gives the token's line.
class CountingIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, std::size_t* taken) : at_(at), taken_(taken) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++() {
        ++at_;
        ++*taken_;
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return at_ == other.at_; }
    bool operator!=(const CountingIterator& other) const { return at_ != other.at_; }

private:
    const char* at_;
    std::size_t* taken_;
};

// Lines of byte offsets that only ever move forward, counted once.
class LineCounter {
public:
    explicit LineCounter(const std::string& text) : text_(text) {}
    unsigned lineOf(std::size_t offset) {
        if (offset > text_.size()) offset = text_.size();
        if (offset < scanned_) return line_;  // a token on the line already counted
        for (; scanned_ < offset; ++scanned_)
            if (text_[scanned_] == '\n') ++line_;
        return line_;
    }

private:
    const std::string& text_;
    std::size_t scanned_ = 0;
    unsigned line_ = 1;
};

class Builder final : public nlohmann::json_sax<nlohmann::json> {
public:
    Builder(const std::string& text, const std::size_t& taken, JsonValue& root, JsonError& error)
        : text_(text), taken_(taken), lines_(text), root_(root), error_(error) {}

    bool null() override { return add(JsonValue::Type::Null, 1); }
    bool boolean(bool value) override {
        JsonValue* v = add(JsonValue::Type::Boolean, 1);
        if (v) v->boolean = value;
        return v;
    }
    bool number_integer(number_integer_t value) override { return number(static_cast<double>(value), true); }
    bool number_unsigned(number_unsigned_t value) override { return number(static_cast<double>(value), true); }
    bool number_float(number_float_t value, const string_t&) override { return number(value, false); }
    bool string(string_t& value) override {
        JsonValue* v = add(JsonValue::Type::String, 1);
        if (v) v->text = std::move(value);
        return v;
    }
    bool binary(binary_t&) override { return false; }  // JSON text has none
    bool start_object(std::size_t) override { return open(JsonValue::Type::Object); }
    bool key(string_t& value) override {
        key_ = std::move(value);
        return true;
    }
    bool end_object() override {
        open_.pop_back();
        return true;
    }
    bool start_array(std::size_t) override { return open(JsonValue::Type::Array); }
    bool end_array() override {
        open_.pop_back();
        return true;
    }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& problem) override {
        // The position counts the byte that broke the text (the end, for a
        // text cut short).
        std::size_t at = position > 0 ? position - 1 : 0;
        if (at > text_.size()) at = text_.size();
        unsigned line = 1;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < at; ++i)
            if (text_[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        unsigned column = 1;  // characters, not the bytes of their UTF-8
        for (std::size_t i = lineStart; i < at; ++i)
            if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) ++column;
        std::string words = problem.what();
        std::size_t colon = words.find(": ");  // after nlohmann's own "line L, column C"
        error_ = {line, column, colon == std::string::npos ? words : words.substr(colon + 2)};
        return false;
    }

    bool tooDeep() const { return tooDeep_; }

private:
    bool number(double value, bool integral) {
        JsonValue* v = add(JsonValue::Type::Number, 2);
        if (v) {
            v->number = value;
            v->integral = integral;
        }
        return v;
    }

    bool open(JsonValue::Type type) {
        if (open_.size() >= kMaxJsonDepth) {
            tooDeep_ = true;
            error_ = {lines_.lineOf(taken_ > 0 ? taken_ - 1 : 0), 0,
                      "the values nest deeper than any menu can"};
            return false;
        }
        JsonValue* v = add(type, 1);
        if (v) open_.push_back(v);
        return v;
    }

    // Adds a value where the parser is; `back` is how many bytes before the
    // count its last byte is.
    JsonValue* add(JsonValue::Type type, std::size_t back) {
        JsonValue* v = &root_;
        if (!open_.empty()) {
            JsonValue& parent = *open_.back();
            if (parent.type == JsonValue::Type::Object) {
                parent.members.emplace_back(std::move(key_), JsonValue());
                v = &parent.members.back().second;
            } else {
                parent.elements.emplace_back();
                v = &parent.elements.back();
            }
        }
        v->type = type;
        v->line = lines_.lineOf(taken_ >= back ? taken_ - back : 0);
        return v;
    }

    const std::string& text_;
    const std::size_t& taken_;
    LineCounter lines_;
    JsonValue& root_;
    JsonError& error_;
    std::vector<JsonValue*> open_;  // containers still open, innermost last
    std::string key_;
    bool tooDeep_ = false;
};

}  // namespace

const char* typeName(JsonValue::Type type) {
    switch (type) {
        case JsonValue::Type::Null: return "null";
        case JsonValue::Type::Boolean: return "true or false";
        case JsonValue::Type::Number: return "a number";
        case JsonValue::Type::String: return "text";
        case JsonValue::Type::Array: return "a list [...]";
        case JsonValue::Type::Object: return "an object {...}";
    }
    return "?";
}

bool readJson(const std::string& text, JsonValue& out, JsonError& error) {
    out = JsonValue();
    std::size_t taken = 0;
    Builder builder(text, taken, out, error);
    CountingIterator first(text.data(), &taken), last(text.data() + text.size(), &taken);
    return nlohmann::json::sax_parse(first, last, &builder);
}

}  // namespace menus_file
