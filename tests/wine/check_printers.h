// How the Wine tests' checks print what they compare, so that a failure
// reads as values ("0x80004002 (E_NOINTERFACE)", "[7, 6]") and never as
// "{?} == {?}".
#pragma once

#include <windows.h>

#include <doctest/doctest.h>

#include "container_printers.h"

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// A COM result, compared and printed as one: CHECK(Hr(call()) == Hr(S_OK)).
struct Hr {
    HRESULT value;
    explicit Hr(HRESULT v) : value(v) {}
    bool operator==(const Hr& other) const { return value == other.value; }
    bool operator!=(const Hr& other) const { return value != other.value; }
};

namespace doctest {

template <>
struct StringMaker<Hr> {
    static String convert(const Hr& hr) {
        static const std::pair<HRESULT, const char*> names[] = {
            {S_OK, "S_OK"},
            {S_FALSE, "S_FALSE"},
            {E_NOINTERFACE, "E_NOINTERFACE"},
            {E_UNEXPECTED, "E_UNEXPECTED"},
            {E_NOTIMPL, "E_NOTIMPL"},
            {E_FAIL, "E_FAIL"},
            {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
            {E_INVALIDARG, "E_INVALIDARG"},
            {E_POINTER, "E_POINTER"},
            {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE"},
            {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION"},
        };
        char text[64];
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr.value));
        std::string out = text;
        for (const auto& [value, name] : names)
            if (value == hr.value) out += std::string(" (") + name + ")";
        return out.c_str();
    }
};

}  // namespace doctest
