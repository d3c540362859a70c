// How checks print the containers and wide texts they compare, so that a
// failure reads as values ("[7, 6]", "{1: a}", u"C:\\u0416") and never as
// "{?} == {?}".
#pragma once

#include <doctest/doctest.h>

#include <map>
#include <string>
#include <vector>

namespace doctest {

template <typename T>
struct StringMaker<std::vector<T>> {
    static String convert(const std::vector<T>& values) {
        std::string out = "[";
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i) out += ", ";
            out += StringMaker<T>::convert(values[i]).c_str();
        }
        return (out + "]").c_str();
    }
};

template <typename K, typename V>
struct StringMaker<std::map<K, V>> {
    static String convert(const std::map<K, V>& values) {
        std::string out = "{";
        bool first = true;
        for (const auto& [key, value] : values) {
            if (!first) out += ", ";
            first = false;
            out += StringMaker<K>::convert(key).c_str();
            out += ": ";
            out += StringMaker<V>::convert(value).c_str();
        }
        return (out + "}").c_str();
    }
};

// UTF-16 text: ASCII as it is, every other unit as \uXXXX, so that a
// surrogate or a look-alike letter shows what it is.
template <>
struct StringMaker<std::u16string> {
    static String convert(const std::u16string& text) {
        static const char digits[] = "0123456789ABCDEF";
        std::string out = "u\"";
        for (char16_t unit : text) {
            if (unit >= 0x20 && unit < 0x7F) {
                out += static_cast<char>(unit);
                continue;
            }
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += digits[(unit >> shift) & 0xF];
        }
        return (out + "\"").c_str();
    }
};

}  // namespace doctest
