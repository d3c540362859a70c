// Blending toolbar pictures over their button face, normal and greyed.
#include <doctest/doctest.h>

#include <array>

#include "pixel_blend.h"

namespace {

using Pixel = std::array<int, 4>;  // blue, green, red, alpha

Pixel blended(Pixel source, Pixel work, bool greyed) {
    std::uint8_t s[4], w[4];
    for (int i = 0; i < 4; ++i) {
        s[i] = static_cast<std::uint8_t>(source[i]);
        w[i] = static_cast<std::uint8_t>(work[i]);
    }
    editor::blendPixel(s, w, greyed);
    return {w[0], w[1], w[2], w[3]};
}

Pixel greyed(Pixel source) {
    std::uint8_t pixel[4];
    for (int i = 0; i < 4; ++i) pixel[i] = static_cast<std::uint8_t>(source[i]);
    editor::greyAndFade(pixel);
    return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

}  // namespace

TEST_SUITE("editor pixel blend") {

TEST_CASE("blending by the source alpha") {
    const Pixel face{10, 20, 30, 40};
    CHECK(blended({200, 100, 50, 0}, face, false) == face);
    CHECK(blended({200, 100, 50, 0}, face, true) == face);
    CHECK(blended({200, 100, 50, 255}, face, false) == Pixel{200, 100, 50, 255});
    CHECK(blended({200, 100, 0, 128}, {0, 0, 0, 0}, false) == Pixel{100, 50, 0, 128});
    CHECK(blended({200, 100, 0, 128}, {255, 255, 255, 255}, false) == Pixel{226, 176, 126, 128});
}

TEST_CASE("grey and fade") {
    CHECK(greyed({255, 255, 255, 255}) == Pixel{236, 236, 236, 153});
    CHECK(greyed({0, 0, 0, 255}) == Pixel{20, 20, 20, 153});
    CHECK(greyed({0, 0, 255, 255}) == Pixel{37, 37, 37, 153});   // v = 25
    CHECK(greyed({255, 0, 0, 255}) == Pixel{76, 76, 76, 153});   // v = 76 stays
    CHECK(greyed({128, 128, 128, 100}) == Pixel{128, 128, 128, 60});
    // An opaque pixel greyed is no longer opaque, so it blends.
    CHECK(blended({255, 255, 255, 255}, {0, 0, 0, 0}, true) == Pixel{141, 141, 141, 153});
    // Alpha 1 fades to 0, yet the pixel passes the test on the alpha as read.
    CHECK(blended({9, 9, 9, 1}, {255, 0, 128, 77}, true) == Pixel{254, 0, 127, 0});
}

TEST_CASE("a whole picture blends pixel by pixel") {
    std::uint8_t source[editor::kImageBytes] = {};
    std::uint8_t work[editor::kImageBytes];
    for (std::size_t i = 0; i < editor::kImageBytes; ++i) work[i] = static_cast<std::uint8_t>(i);
    const std::uint8_t opaque[4] = {1, 2, 3, 255};
    for (std::size_t byte = 0; byte < 4; ++byte) {
        source[byte] = opaque[byte];
        source[255 * 4 + byte] = opaque[byte];
    }
    editor::blendImage(source, work, false);
    for (std::size_t byte = 0; byte < 4; ++byte) {
        CHECK(work[byte] == opaque[byte]);
        CHECK(work[255 * 4 + byte] == opaque[byte]);
    }
    bool othersUntouched = true;
    for (std::size_t i = 4; i < 255 * 4; ++i)
        othersUntouched = othersUntouched && work[i] == static_cast<std::uint8_t>(i);
    CHECK(othersUntouched);
}

}  // TEST_SUITE
