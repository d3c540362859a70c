#include "pixel_blend.h"

namespace editor {

namespace {
enum Channel { kBlue = 0, kGreen = 1, kRed = 2, kAlpha = 3 };
}  // namespace

void greyAndFade(std::uint8_t (&pixel)[kPixelBytes]) noexcept {
    int level = (3 * pixel[kBlue] + 6 * pixel[kGreen] + 1 * pixel[kRed]) / 10;
    if (level < 64) level = 64 - 7 * (64 - level) / 10;
    else if (level > 192) level = 192 + 7 * (level - 192) / 10;
    std::uint8_t grey = static_cast<std::uint8_t>(level);
    pixel[kBlue] = pixel[kGreen] = pixel[kRed] = grey;
    pixel[kAlpha] = static_cast<std::uint8_t>(6 * pixel[kAlpha] / 10);
}

void blendPixel(const std::uint8_t* source, std::uint8_t* work, bool greyed) noexcept {
    if (source[kAlpha] == 0) return;
    std::uint8_t pixel[kPixelBytes] = {source[0], source[1], source[2], source[3]};
    if (greyed) greyAndFade(pixel);
    const unsigned alpha = pixel[kAlpha];
    if (alpha == 255) {
        for (std::size_t i = 0; i < kPixelBytes; ++i) work[i] = pixel[i];
        return;
    }
    for (int channel = kBlue; channel <= kRed; ++channel) {
        work[channel] =
            static_cast<std::uint8_t>((alpha * pixel[channel] + (255 - alpha) * work[channel]) / 256);
    }
    work[kAlpha] = static_cast<std::uint8_t>(alpha);
}

void blendImage(const std::uint8_t (&source)[kImageBytes], std::uint8_t (&work)[kImageBytes],
                bool greyed) noexcept {
    for (std::size_t i = 0; i < kImagePixels; ++i)
        blendPixel(source + i * kPixelBytes, work + i * kPixelBytes, greyed);
}

}  // namespace editor
