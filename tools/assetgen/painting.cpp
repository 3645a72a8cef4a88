#include "tools/assetgen/painting.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace assetgen {

namespace {

// Lattice hash -> [0, 1).
double Hash(int x, int y, int seed) {
    std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u +
                      std::uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return double(h & 0xFFFFFF) / double(0x1000000);
}

double ValueNoise(double x, double y, int seed) {
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double a = Hash(x0, y0, seed), b = Hash(x0 + 1, y0, seed);
    const double c = Hash(x0, y0 + 1, seed), d = Hash(x0 + 1, y0 + 1, seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

// Fractal noise in [0, 1).
double Fbm(double x, double y, int seed, int octaves = 5) {
    double sum = 0, amplitude = 0.5, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * ValueNoise(x, y, seed + i * 17);
        norm += amplitude;
        x *= 2.03;
        y *= 2.03;
        amplitude *= 0.5;
    }
    return sum / norm;
}

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(Rgb c, double f) {
    return {c.r * f, c.g * f, c.b * f};
}

QRgb ToQRgb(Rgb c) {
    auto ch = [](double v) { return int(std::clamp(std::lround(v), 0L, 255L)); };
    return qRgb(ch(c.r), ch(c.g), ch(c.b));
}

// Wood colour at a point of a board; `along` runs with the grain, `across` over the board.
Rgb WoodAt(double along, double across, int seed) {
    const double warp = Fbm(along * 0.004, across * 0.03, seed, 4) * 9.0;
    const double rings = std::sin((across * 0.22 + warp) * 3.1) * 0.5 + 0.5;
    const double streak = Fbm(along * 0.002, across * 0.6, seed + 5, 3);
    const double fine = ValueNoise(along * 0.5, across * 2.0, seed + 9);
    const Rgb dark{92, 52, 26}, light{168, 112, 60};
    Rgb c = Mix(dark, light, 0.25 + 0.55 * std::pow(rings, 1.6) + 0.35 * (streak - 0.5));
    return Scale(c, 0.92 + 0.12 * fine);
}

// Brightness over the board's cross-section: a rounded moulding lit from the top left.
double Profile(double t) {
    const double bead = std::sin(t * 3.14159265);
    return 0.72 + 0.38 * bead - 0.18 * std::pow(t, 6);
}

}  // namespace

QImage PaintWoodFrame(int width, int height, int boardWidth) {
    QImage img(width, height, QImage::Format_RGB32);
    const Rgb mat{236, 228, 208};
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int dl = x, dr = width - 1 - x, dt = y, db = height - 1 - y;
            const int d = std::min({dl, dr, dt, db});
            if (d >= boardWidth) {
                // Passe-partout with a bevelled, lighter inner edge and a little paper grain.
                const double paper = 0.97 + 0.04 * Fbm(x * 0.3, y * 0.3, 71, 2);
                const double bevel = d < boardWidth + 6 ? 1.06 : 1.0;
                line[x] = ToQRgb(Scale(mat, paper * bevel));
                continue;
            }
            // Which board: the nearest edge; mitres fall on the diagonals.
            double along, across;
            int seed;
            double light;
            if (d == dt) {
                along = x, across = dt, seed = 1, light = 1.05;
            } else if (d == db) {
                along = x, across = db, seed = 2, light = 0.82;
            } else if (d == dl) {
                along = y, across = dl, seed = 3, light = 0.97;
            } else {
                along = y, across = dr, seed = 4, light = 0.86;
            }
            const double t = across / boardWidth;
            Rgb c = Scale(WoodAt(along, across, seed), Profile(t) * light);
            if (across < 2 || boardWidth - across <= 2) c = Scale(c, 0.6);  // board edges
            line[x] = ToQRgb(c);
        }
    }
    return img;
}

QImage PaintLandscape(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    const double horizon = height * 0.56;
    const double sunX = width * 0.68, sunY = height * 0.30, sunR = height * 0.055;
    auto ridge = [&](double x, double base, double amp, int seed) {
        return base - amp * Fbm(x / width * 3.0, 0.5, seed, 5);
    };
    auto skyAt = [&](double x, double y) {
        const double t = std::clamp(y / horizon, 0.0, 1.0);
        Rgb c = Mix(Rgb{48, 92, 168}, Rgb{246, 196, 150}, std::pow(t, 1.4));
        const double dx = x - sunX, dy = y - sunY;
        const double dist = std::sqrt(dx * dx + dy * dy);
        const double glow = std::exp(-dist / (height * 0.16));
        c = Mix(c, Rgb{255, 236, 190}, glow * 0.8);
        if (dist < sunR) c = Mix(Rgb{255, 250, 228}, c, std::pow(dist / sunR, 8));
        const double cloud = Fbm(x * 0.006, y * 0.02, 31, 5);
        const double cloudy = std::clamp((cloud - 0.55) * 3.0, 0.0, 1.0) * (1 - t * 0.5);
        return Mix(c, Rgb{255, 240, 232}, cloudy * 0.7);
    };
    auto landAt = [&](double x, double y, bool& hit) {
        const double far = ridge(x, horizon - 2, height * 0.22, 11);
        const double near = ridge(x + 400, horizon + 2, height * 0.12, 23);
        hit = true;
        if (y >= near) {
            const double shade = Fbm(x * 0.02, y * 0.02, 41, 4);
            return Mix(Rgb{46, 78, 44}, Rgb{92, 122, 62}, shade);
        }
        if (y >= far) {
            const double haze = 0.55 + 0.2 * Fbm(x * 0.01, y * 0.03, 43, 3);
            return Mix(Rgb{74, 96, 120}, skyAt(x, y), haze * 0.6);
        }
        hit = false;
        return Rgb{0, 0, 0};
    };
    const double shore = height * 0.86;
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            Rgb c;
            bool hit = false;
            if (y < horizon) {
                c = landAt(x, y, hit);
                if (!hit) c = skyAt(x, y);
            } else {
                // Water mirrors the scene above the horizon, broken by ripples.
                const double depth = (y - horizon) / (height - horizon);
                const double ripple = (Fbm(x * 0.01, y * 0.25, 51, 4) - 0.5) * (6 + 30 * depth);
                const double my = 2 * horizon - y + ripple * 0.3;
                const double mx = x + ripple;
                Rgb mirrored = landAt(mx, my, hit);
                if (!hit) mirrored = skyAt(mx, my);
                c = Mix(Scale(mirrored, 0.82), Rgb{30, 60, 86}, 0.15 + 0.35 * depth);
                const double sparkle = std::exp(-std::abs(x - sunX) / (width * 0.03));
                if (Fbm(x * 0.05, y * 0.6, 61, 2) > 0.62)
                    c = Mix(c, Rgb{255, 236, 200}, sparkle * 0.8);
                const double reeds = shore - 14 * Fbm(x * 0.02, 0.3, 81, 3);
                if (y > reeds) {
                    const double blade = ValueNoise(x * 0.9, y * 0.05, 83);
                    c = Mix(Rgb{58, 70, 30}, Rgb{150, 140, 70}, blade * 0.8);
                    c = Scale(c, 0.7 + 0.3 * (height - y) / (height - reeds + 1));
                }
            }
            line[x] = ToQRgb(c);
        }
    }
    return img;
}

namespace {

QImage WhiteCanvas(int size) {
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

void GreenArrowDown(QPainter& p, QPointF tip, double s) {
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(tip + QPointF(-4.5 * s, -4.5 * s));
    path.lineTo(tip + QPointF(-2 * s, -4.5 * s));
    path.lineTo(tip + QPointF(-2 * s, -9 * s));
    path.lineTo(tip + QPointF(2 * s, -9 * s));
    path.lineTo(tip + QPointF(2 * s, -4.5 * s));
    path.lineTo(tip + QPointF(4.5 * s, -4.5 * s));
    path.closeSubpath();
    p.setPen(QPen(QColor(20, 100, 20), 1));
    p.setBrush(QColor(60, 180, 60));
    p.drawPath(path);
}

// A rectangle whose top-right corner is cut off at 45 degrees: a page or a diskette.
QPainterPath CutCornerBox(double left, double top, double right, double bottom, double cut) {
    QPainterPath box;
    box.moveTo(left, top);
    box.lineTo(right - cut, top);
    box.lineTo(right, top + cut);
    box.lineTo(right, bottom);
    box.lineTo(left, bottom);
    box.closeSubpath();
    return box;
}

}  // namespace

QImage PaintOpenGlyph() {
    QImage img = WhiteCanvas(24);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath page = CutCornerBox(3.5, 1.5, 18.5, 21.5, 5);
    p.setPen(QPen(QColor(90, 90, 110), 1));
    p.setBrush(QColor(250, 250, 235));
    p.drawPath(page);
    p.drawLine(QPointF(13.5, 1.5), QPointF(13.5, 6.5));
    p.drawLine(QPointF(13.5, 6.5), QPointF(18.5, 6.5));
    p.setPen(QPen(QColor(170, 170, 190), 1));
    for (double y = 9.5; y < 19; y += 3) p.drawLine(QPointF(6, y), QPointF(12, y));
    GreenArrowDown(p, QPointF(17.5, 22.5), 1.0);
    return img;
}

QImage PaintSaveGlyph() {
    QImage img = WhiteCanvas(24);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath disk = CutCornerBox(2.5, 3.5, 20.5, 21.5, 3);
    p.setPen(QPen(QColor(20, 80, 30), 1));
    p.setBrush(QColor(50, 150, 70));
    p.drawPath(disk);
    p.setBrush(QColor(225, 235, 225));
    p.drawRect(QRectF(6.5, 3.5, 9, 6));  // shutter
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 13.5, 12, 8));  // label
    p.setPen(QPen(QColor(20, 80, 30), 1));
    p.drawLine(QPointF(12.5, 4.5), QPointF(12.5, 8.5));
    GreenArrowDown(p, QPointF(11.5, 20.5), 0.65);
    return img;
}

QImage PaintTurnGlyph() {
    QImage img = WhiteCanvas(24);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(40, 90, 200), 3.2, Qt::SolidLine, Qt::FlatCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF ring(4, 4, 16, 16);
    p.drawArc(ring, 110 * 16, 290 * 16);
    // Arrow head at the arc's start, pointing along the turn (counter-clockwise).
    const double a = 110 * 3.14159265 / 180;
    const QPointF end(12 + 8 * std::cos(a), 12 - 8 * std::sin(a));
    QPainterPath head;
    head.moveTo(end + QPointF(-5.5, -1.0));
    head.lineTo(end + QPointF(2.5, -5.0));
    head.lineTo(end + QPointF(1.5, 4.5));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 90, 200));
    p.drawPath(head);
    return img;
}

QImage PaintGlobe(bool enabled) {
    QImage img = WhiteCanvas(16);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor sea = enabled ? QColor(50, 110, 210) : QColor(150, 150, 150);
    const QColor land = enabled ? QColor(70, 160, 70) : QColor(190, 190, 190);
    const QColor line = enabled ? QColor(20, 50, 120) : QColor(110, 110, 110);
    QRadialGradient shade(QPointF(6, 5), 9);
    shade.setColorAt(0, sea.lighter(150));
    shade.setColorAt(1, sea);
    p.setPen(QPen(line, 1));
    p.setBrush(shade);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(land);
    p.drawEllipse(QRectF(4, 4, 4, 5));
    p.drawEllipse(QRectF(8.5, 8, 4, 4));
    p.setPen(QPen(line, 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    return img;
}

QImage PaintAboutPicture(int width, int height) {
    const int board = std::max(8, width / 9);
    QImage frame = PaintWoodFrame(width, height, board);
    const QImage scene = PaintLandscape(width * 2, height * 2);
    QPainter p(&frame);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int inset = board + width / 22;
    const QRect window(inset, inset, width - 2 * inset, height - 2 * inset);
    p.drawImage(window, scene, QRect(scene.width() / 8, 0, scene.width() * 3 / 4, scene.height()));
    return frame;
}

QImage PaintIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    // Paint at a comfortable size and scale down smoothly; tiny sizes keep a thicker frame.
    const int big = 128;
    const int board = size <= 24 ? 30 : 22;
    QImage frame = PaintWoodFrame(big, big, board);
    const QImage scene = PaintLandscape(big * 2, big * 2);
    {
        QPainter p(&frame);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(board, board, big - 2 * board, big - 2 * board), scene);
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(0, 0, size, size), frame);
    return img;
}

}  // namespace assetgen
