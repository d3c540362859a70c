#include <doctest/doctest.h>

#include <cstring>
#include <string>

#include "icon_location.h"
#include "store_layout.h"

using store::formatIconLocation;
using store::parseIconLocation;

TEST_SUITE("store") {

TEST_CASE("icon locations split at the last comma") {
    char file[8];
    CHECK(parseIconLocation("a,b.dll,12", file, sizeof file) == 12);
    CHECK(std::string(file) == "a,b.dll");
    CHECK(parseIconLocation("\"C:\\x.dll\" ,3", file, sizeof file) == 3);
    CHECK(std::string(file) == "C:\\x.dl");  // unquoted, then cut to the field
    CHECK(parseIconLocation("plain.ico", file, sizeof file) == 0);
    CHECK(std::string(file) == "plain.i");
    CHECK(parseIconLocation("f,x", file, sizeof file) == 0);
    CHECK(parseIconLocation("f,99999999999999", file, sizeof file) >= 0);
}

TEST_CASE("icon locations written by the picker read back as picked") {
    char location[store::kIconSize];
    char file[store::kIconSize];
    CHECK(formatIconLocation("C:\\Tools\\a,b.dll", -7, location, sizeof location));
    CHECK(std::string(location) == "C:\\Tools\\a,b.dll,-7");
    CHECK(parseIconLocation(location, file, sizeof file) == -7);
    CHECK(std::string(file) == "C:\\Tools\\a,b.dll");

    // The longest that fits the field: 257 characters, a comma, one digit.
    std::string longest(store::kIconSize - 3, 'p');
    CHECK(formatIconLocation(longest.c_str(), 4, location, sizeof location));
    CHECK(std::strlen(location) == store::kIconSize - 1);
    CHECK(parseIconLocation(location, file, sizeof file) == 4);
    CHECK(std::string(file) == longest);

    // One more character, or a buffer too small: refused, never cut.
    CHECK_FALSE(formatIconLocation(longest.c_str(), 12, location, sizeof location));
    CHECK(std::string(location).empty());
    char small[8];
    CHECK_FALSE(formatIconLocation("abc.dll", 1, small, sizeof small));
    CHECK(std::string(small).empty());
    CHECK(formatIconLocation("a.dll", 1, small, sizeof small));
    CHECK(std::string(small) == "a.dll,1");
    CHECK_FALSE(formatIconLocation(nullptr, 0, small, sizeof small));
}

}  // TEST_SUITE
