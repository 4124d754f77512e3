// Draws the program's two pictures into resources/ (run once; the PNGs are kept
// in the repository). Build and run:
//   g++ -std=c++20 -fPIC scripts/draw_pictures.cpp $(pkg-config --cflags --libs Qt6Gui) -o
//   /tmp/draw QT_QPA_PLATFORM=offscreen /tmp/draw resources
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// The attribution badge, 88 x 35: the local analysis service's engine and dictionary.
QImage badge() {
    QImage image(88, 35, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient fill(0, 0, 0, 35);
    fill.setColorAt(0, QColor(0x2b, 0x4c, 0x7e));
    fill.setColorAt(1, QColor(0x16, 0x2a, 0x4a));
    p.setPen(QPen(QColor(0x0d, 0x1b, 0x30), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, 87, 34), 6, 6);
    p.setPen(QColor(0xf2, 0xc1, 0x4e));
    p.drawLine(QPointF(8, 17.5), QPointF(80, 17.5));
    QFont latin(QStringLiteral("DejaVu Sans"));
    latin.setPixelSize(9);
    latin.setBold(true);
    p.setFont(latin);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 3, 88, 13), Qt::AlignCenter, QStringLiteral("MeCab + IPADIC"));
    QFont japanese(QStringLiteral("Noto Sans CJK JP"));
    japanese.setPixelSize(11);
    p.setFont(japanese);
    p.drawText(QRectF(0, 18, 88, 15), Qt::AlignCenter, QStringLiteral("形態素解析"));
    return image;
}

// The About picture, 200 x 300: a folded paper bird over a sky.
QImage about() {
    QImage image(200, 300, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 300);
    sky.setColorAt(0, QColor(0xfd, 0xf6, 0xe3));
    sky.setColorAt(1, QColor(0xf4, 0xc7, 0xa1));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe8, 0x6a, 0x4a, 60));
    p.drawEllipse(QPointF(100, 120), 78, 78);

    const auto facet = [&p](std::initializer_list<QPointF> points, QColor colour) {
        p.setBrush(colour);
        p.setPen(QPen(colour.darker(130), 1));
        p.drawPolygon(QPolygonF(points));
    };
    // Wings, body, neck, tail and head.
    facet({{100, 120}, {30, 40}, {88, 132}}, QColor(0xc8, 0x3c, 0x3c));
    facet({{100, 120}, {172, 52}, {112, 132}}, QColor(0xe0, 0x55, 0x4a));
    facet({{70, 140}, {100, 120}, {130, 140}, {100, 170}}, QColor(0xb0, 0x30, 0x36));
    facet({{70, 140}, {100, 170}, {86, 150}}, QColor(0x90, 0x24, 0x2c));
    facet({{80, 148}, {40, 110}, {48, 104}, {92, 150}}, QColor(0xd2, 0x48, 0x44));
    facet({{40, 110}, {30, 118}, {48, 104}}, QColor(0xa8, 0x2c, 0x32));
    facet({{120, 148}, {168, 118}, {110, 156}}, QColor(0xc0, 0x3a, 0x3e));

    p.setPen(QPen(QColor(0x7a, 0x4a, 0x3a), 1.5));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 220 + i * 18;
        QPainterPath wave(QPointF(30, y));
        wave.cubicTo(QPointF(70, y - 10), QPointF(130, y + 10), QPointF(170, y));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources"));
    const bool saved =
        badge().save(folder.filePath(QStringLiteral("attribution_badge_88_35.png"))) &&
        about().save(folder.filePath(QStringLiteral("plome.png")));
    return saved ? 0 : 1;
}
