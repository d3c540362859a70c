// Composing a 16x16 toolbar picture over the button face it is drawn on.
// Pixels are four bytes: blue, green, red, and a straight (not
// premultiplied) alpha.
#pragma once

#include <cstddef>
#include <cstdint>

namespace editor {

constexpr std::size_t kImagePixels = 256;
constexpr std::size_t kPixelBytes = 4;
constexpr std::size_t kImageBytes = kImagePixels * kPixelBytes;

// The look of a disabled button: grey level from 3 blue + 6 green + 1 red
// tenths, pulled towards the middle outside 64..192, and alpha cut to 6/10.
void greyAndFade(std::uint8_t (&pixel)[kPixelBytes]) noexcept;

// Blends one source pixel over one work pixel. The alpha test uses the
// source alpha as read, before any fading, and the blend divides by 256.
void blendPixel(const std::uint8_t* source, std::uint8_t* work, bool greyed) noexcept;

// Blends all 256 pixels of the picture over the work buffer, pixel i over
// pixel i.
void blendImage(const std::uint8_t (&source)[kImageBytes], std::uint8_t (&work)[kImageBytes],
                bool greyed) noexcept;

}  // namespace editor
