// Draws the editor's toolbar image strip (toolbar_strip.bmp, ten 16x16
// pictures with straight alpha) and the page's tab icon (tab_icon.ico, 16x16
// with 16 colours). Usage: make_images <output directory>
//
// The pictures are signed-distance shapes sampled 8x8 times per pixel: the
// share of samples inside a shape becomes its alpha, so diagonal and round
// edges come out smooth without a paint program. Every shape is an outline
// one shade darker than its fill, lit from above by a vertical gradient.
// Output depends only on this file, byte for byte.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 16;
constexpr int kImages = 10;
constexpr int kSamples = 8;  // per axis, per pixel

struct Vec {
    double x, y;
};
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double length(Vec a) { return std::sqrt(dot(a, a)); }

using Sdf = std::function<double(Vec)>;  // negative inside

Sdf box(double x0, double y0, double x1, double y1, double radius = 0) {
    return [=](Vec p) {
        const Vec c{(x0 + x1) / 2, (y0 + y1) / 2};
        const Vec h{(x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius};
        const Vec q{std::fabs(p.x - c.x) - h.x, std::fabs(p.y - c.y) - h.y};
        const Vec outside{std::max(q.x, 0.0), std::max(q.y, 0.0)};
        return length(outside) + std::min(std::max(q.x, q.y), 0.0) - radius;
    };
}

Sdf circle(Vec c, double r) {
    return [=](Vec p) { return length(p - c) - r; };
}

Sdf segment(Vec a, Vec b, double halfWidth) {
    return [=](Vec p) {
        const Vec pa = p - a, ba = b - a;
        const double t = std::clamp(dot(pa, ba) / dot(ba, ba), 0.0, 1.0);
        return length(pa - ba * t) - halfWidth;
    };
}

// A stroke along the circle (c, r) from angle `from` to angle `to` (radians,
// y pointing down, so increasing angles turn clockwise on screen).
Sdf arc(Vec c, double r, double from, double to, double halfWidth) {
    return [=](Vec p) {
        const Vec d = p - c;
        double a = std::atan2(d.y, d.x);
        while (a < from) a += 2 * M_PI;
        if (a <= to) return std::fabs(length(d) - r) - halfWidth;
        const Vec e0 = c + Vec{std::cos(from), std::sin(from)} * r;
        const Vec e1 = c + Vec{std::cos(to), std::sin(to)} * r;
        return std::min(length(p - e0), length(p - e1)) - halfWidth;
    };
}

Sdf polygon(std::vector<Vec> v) {
    return [v](Vec p) {
        double d = dot(p - v[0], p - v[0]);
        double sign = 1;
        for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i, ++i) {
            const Vec e = v[j] - v[i], w = p - v[i];
            const Vec b = w - e * std::clamp(dot(w, e) / dot(e, e), 0.0, 1.0);
            d = std::min(d, dot(b, b));
            const bool c1 = p.y >= v[i].y, c2 = p.y < v[j].y, c3 = e.x * w.y > e.y * w.x;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) sign = -sign;
        }
        return sign * std::sqrt(d);
    };
}

Sdf unite(Sdf a, Sdf b) {
    return [=](Vec p) { return std::min(a(p), b(p)); };
}
Sdf subtract(Sdf a, Sdf b) {
    return [=](Vec p) { return std::max(a(p), -b(p)); };
}

struct Colour {
    double r, g, b, a = 1;
};
Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}
Colour rgb(int r, int g, int b, double a = 1) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

// Vertical gradient: `top` at y0, `bottom` at y1, constant beyond.
struct Paint {
    Colour top, bottom;
    double y0 = 0, y1 = kSize;
    Colour at(double y) const {
        if (y1 <= y0) return top;
        return mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.0, 1.0));
    }
};
Paint solid(Colour c) { return {c, c, 0, 0}; }

// One picture, premultiplied while it is being composed.
struct Canvas {
    std::array<Colour, kSize * kSize> px;
    Canvas() { px.fill({0, 0, 0, 0}); }

    // Composes `paint` over the canvas wherever sdf <= inset.
    void fill(const Sdf& sdf, const Paint& paint, double inset = 0) {
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                Colour sum{0, 0, 0, 0};
                for (int sy = 0; sy < kSamples; ++sy)
                    for (int sx = 0; sx < kSamples; ++sx) {
                        const Vec p{x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples};
                        if (sdf(p) > inset) continue;
                        const Colour c = paint.at(p.y);
                        sum = {sum.r + c.r * c.a, sum.g + c.g * c.a, sum.b + c.b * c.a,
                               sum.a + c.a};
                    }
                const double n = kSamples * kSamples;
                const Colour s{sum.r / n, sum.g / n, sum.b / n, sum.a / n};
                Colour& d = px[y * kSize + x];
                d = {s.r + d.r * (1 - s.a), s.g + d.g * (1 - s.a), s.b + d.b * (1 - s.a),
                     s.a + d.a * (1 - s.a)};
            }
    }

    // The house style: a darker rim of `rim` pixels around a lit body.
    void shape(const Sdf& sdf, Colour outline, Paint body, double rim = 1) {
        fill(sdf, solid(outline));
        fill(sdf, body, -rim);
    }
};

// Colour families: light top, base bottom, outline one shade darker.
struct Family {
    Colour light, base, outline;
};
const Family kBlue{rgb(125, 190, 250), rgb(35, 110, 215), rgb(20, 70, 150)};
const Family kGreen{rgb(140, 225, 110), rgb(45, 160, 45), rgb(25, 105, 30)};
const Family kRed{rgb(250, 130, 115), rgb(210, 45, 35), rgb(140, 25, 20)};
const Family kSteel{rgb(230, 234, 240), rgb(150, 158, 170), rgb(80, 88, 100)};
const Family kMenu{rgb(255, 255, 255), rgb(214, 228, 246), rgb(100, 125, 165)};
const Colour kInk = rgb(60, 70, 85);

Paint lit(const Family& f, double y0, double y1) { return {f.light, f.base, y0, y1}; }

// A menu entry seen from the side of the menu: a rounded bar with a line of
// "text". The three "new" pictures share its top half.
void menuBar(Canvas& c, double textEnd) {
    c.shape(box(0.5, 1, 15.5, 8, 1.2), kMenu.outline, lit(kMenu, 2, 7));
    c.fill(box(3, 4, textEnd, 5), solid(kInk));
}

void greenPlus(Canvas& c) {
    const Sdf plus = unite(box(6, 8, 10, 16, 0.6), box(4, 10, 12, 14, 0.6));
    c.shape(plus, kGreen.outline, lit(kGreen, 9, 15));
}

void newSubmenu(Canvas& c) {
    menuBar(c, 9);
    c.fill(polygon({{11, 2.5}, {14, 4.5}, {11, 6.5}}), solid(kInk));
    greenPlus(c);
}

void newCommand(Canvas& c) {
    menuBar(c, 13);
    greenPlus(c);
}

void newSeparator(Canvas& c) {
    // A single raised rule where a menu entry would be.
    c.shape(box(0.5, 3, 15.5, 6, 1.5), kSteel.outline, lit(kSteel, 4, 5));
    greenPlus(c);
}

void deleteCross(Canvas& c) {
    const Sdf cross = unite(segment({3.5, 3.5}, {12.5, 12.5}, 2.1),
                            segment({12.5, 3.5}, {3.5, 12.5}, 2.1));
    c.shape(cross, kRed.outline, lit(kRed, 2, 14));
}

// Arrow pointing up; `turn` maps its points to the other directions.
void arrow(Canvas& c, const std::function<Vec(Vec)>& turn) {
    std::vector<Vec> v{{8, 0.8},   {15.2, 8}, {10.8, 8}, {10.8, 15.2},
                       {5.2, 15.2}, {5.2, 8},  {0.8, 8}};
    double top = kSize, bottom = 0;
    for (Vec& p : v) {
        p = turn(p);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    c.shape(polygon(v), kBlue.outline, lit(kBlue, top + 1, bottom - 1));
}

void wrench(Canvas& c) {
    // Head at the top right with an open jaw facing away from the handle,
    // handle down to the bottom left with a rounded end.
    const Vec head{10.8, 5.2};
    const Vec out = Vec{1, -1} * (1 / std::sqrt(2.0));
    const Sdf jaw = segment(head + out * 0.4, head + out * 5, 1.45);
    const Sdf body = unite(circle(head, 4.4), segment({3, 13}, head, 1.9));
    c.shape(subtract(body, jaw), kSteel.outline, lit(kSteel, 1, 15));
    c.fill(circle({3.2, 12.8}, 0.8), solid(kSteel.outline));  // the hanging hole
}

void helpSign(Canvas& c) {
    c.shape(circle({8, 8}, 7.6), kBlue.outline, lit(kBlue, 1.5, 14.5));
    // Gloss on the upper half, fading downwards.
    c.fill(subtract(circle({8, 6.2}, 5.4), box(0, 7.4, 16, 16)),
           {rgb(255, 255, 255, 0.45), rgb(255, 255, 255, 0.05), 1, 7.4});
    const Colour white = rgb(255, 255, 255);
    c.fill(arc({8, 6}, 2.4, M_PI, 2.35 * M_PI, 0.95), solid(white));
    const Vec hookEnd = Vec{8, 6} + Vec{std::cos(2.35 * M_PI), std::sin(2.35 * M_PI)} * 2.4;
    c.fill(segment(hookEnd, {8, 9.6}, 0.95), solid(white));
    c.fill(circle({8, 12.2}, 1.15), solid(white));
}

void put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// BITMAPINFOHEADER with BI_RGB and no palette fields.
void putInfoHeader(std::vector<uint8_t>& out, int width, int height, int bits,
                   uint32_t imageSize, uint32_t pixelsPerMetre) {
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));
    put16(out, 1);
    put16(out, static_cast<unsigned>(bits));
    put32(out, 0);  // BI_RGB
    put32(out, imageSize);
    put32(out, pixelsPerMetre);
    put32(out, pixelsPerMetre);
    put32(out, 0);
    put32(out, 0);
}

uint8_t toByte(double v) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

std::vector<uint8_t> stripBitmap(const std::array<Canvas, kImages>& pictures) {
    const int width = kSize * kImages;
    const uint32_t imageSize = width * kSize * 4;
    std::vector<uint8_t> out{'B', 'M'};
    put32(out, 14 + 40 + imageSize);
    put32(out, 0);
    put32(out, 14 + 40);
    putInfoHeader(out, width, kSize, 32, imageSize, 2835);
    for (int y = kSize - 1; y >= 0; --y)  // bottom-up
        for (int x = 0; x < width; ++x) {
            const Colour p = pictures[x / kSize].px[y * kSize + x % kSize];
            const uint8_t a = toByte(p.a);
            if (a == 0) {
                out.insert(out.end(), {0, 0, 0, 0});
                continue;
            }
            // Straight alpha; the image list keys its mask on pure black, so
            // a visible pixel never is.
            uint8_t b = toByte(p.b / p.a), g = toByte(p.g / p.a), r = toByte(p.r / p.a);
            if (r == 0 && g == 0 && b == 0) b = 1;
            out.insert(out.end(), {b, g, r, a});
        }
    return out;
}

// The 16 colours of the Windows icon palette, in index order.
constexpr uint8_t kPalette[16][3] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
enum : int8_t { kClear = -1, kBlack = 0, kNavy = 4, kSilver = 7, kGrey = 8, kWhite = 15 };

// The tab icon: a small context menu with a highlighted entry, a separator
// and a drop shadow, in palette indices (kClear where transparent).
std::array<int8_t, kSize * kSize> tabIconPixels() {
    std::array<int8_t, kSize * kSize> px;
    px.fill(kClear);
    auto rect = [&](int x0, int y0, int x1, int y1, int8_t colour) {  // inclusive
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) px[y * kSize + x] = colour;
    };
    rect(3, 2, 14, 15, kSilver);   // shadow
    rect(1, 0, 13, 14, kGrey);     // frame
    rect(2, 1, 12, 13, kWhite);    // panel
    rect(4, 3, 10, 3, kBlack);     // entry
    rect(2, 5, 12, 7, kNavy);      // highlighted entry
    rect(4, 6, 9, 6, kWhite);
    rect(3, 9, 11, 9, kSilver);    // separator
    rect(4, 11, 8, 11, kBlack);    // entry
    return px;
}

std::vector<uint8_t> tabIcon() {
    const auto px = tabIconPixels();
    const uint32_t xorSize = kSize * kSize / 2;  // 8 bytes a row, already aligned
    const uint32_t andSize = kSize * 4;          // 2 bytes a row padded to 4
    const uint32_t imageSize = 40 + 16 * 4 + xorSize + andSize;
    std::vector<uint8_t> out;
    put16(out, 0);  // ICONDIR
    put16(out, 1);
    put16(out, 1);
    out.insert(out.end(), {kSize, kSize, 16, 0});  // ICONDIRENTRY
    put16(out, 1);
    put16(out, 4);
    put32(out, imageSize);
    put32(out, 6 + 16);
    putInfoHeader(out, kSize, 2 * kSize, 4, xorSize + andSize, 0);
    for (const auto& c : kPalette) out.insert(out.end(), {c[2], c[1], c[0], 0});
    for (int y = kSize - 1; y >= 0; --y)
        for (int x = 0; x < kSize; x += 2) {
            const auto index = [&](int i) { return std::max<int8_t>(px[y * kSize + i], 0); };
            out.push_back(static_cast<uint8_t>(index(x) << 4 | index(x + 1)));
        }
    for (int y = kSize - 1; y >= 0; --y) {
        unsigned bits = 0;
        for (int x = 0; x < kSize; ++x)
            if (px[y * kSize + x] == kClear) bits |= 0x8000u >> x;
        out.insert(out.end(), {static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits), 0, 0});
    }
    return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    std::array<Canvas, kImages> pictures;
    newSubmenu(pictures[0]);
    newCommand(pictures[1]);
    newSeparator(pictures[2]);
    deleteCross(pictures[3]);
    arrow(pictures[4], [](Vec p) { return p; });
    arrow(pictures[5], [](Vec p) { return Vec{p.x, kSize - p.y}; });
    arrow(pictures[6], [](Vec p) { return Vec{p.y, p.x}; });
    arrow(pictures[7], [](Vec p) { return Vec{kSize - p.y, p.x}; });
    wrench(pictures[8]);
    helpSign(pictures[9]);

    const std::string dir = argv[1];
    for (const auto& [name, bytes] :
         {std::pair{dir + "/toolbar_strip.bmp", stripBitmap(pictures)},
          std::pair{dir + "/tab_icon.ico", tabIcon()}}) {
        if (!writeFile(name, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
