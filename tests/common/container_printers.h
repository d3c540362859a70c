// How checks print the containers they compare, so that a failure reads as
// values ("[7, 6]", "{1: a}") and never as "{?} == {?}".
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

}  // namespace doctest
