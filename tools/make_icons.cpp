// Draws the program's icons into resources/icons/. Not part of the build; run it
// after changing a drawing and commit the PNGs:
//
//   g++ -std=c++20 -fPIC tools/make_icons.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make_icons
//   QT_QPA_PLATFORM=offscreen /tmp/make_icons resources/icons
//
// One style for all: large command icons are rounded tiles in a saturated colour with a
// white glyph (readable on light and dark button faces alike); the small transport and
// list icons are coloured glyphs with a darker outline.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

QString g_outDir;

void save(const QImage &image, const char *name)
{
    const QString path = g_outDir + QLatin1Char('/') + QLatin1String(name);
    if (!image.save(path, "PNG"))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void paint(QImage &image, const std::function<void(QPainter &)> &draw)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
}

// A rounded tile with a soft shadow, a vertical gradient and a hairline edge.
void tile(QPainter &p, const QRectF &r, QColor top, QColor bottom)
{
    const qreal radius = r.width() * 0.22;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 45));
    p.drawRoundedRect(r.translated(0, 1.2), radius, radius);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setBrush(g);
    p.setPen(QPen(bottom.darker(125), 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    // A faint light rim along the top edge gives the tile some depth.
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1, radius - 1);
}

QPen whitePen(qreal width)
{
    return QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath triangleRight(qreal left, qreal top, qreal w, qreal h)
{
    QPainterPath path;
    path.moveTo(left, top);
    path.lineTo(left + w, top + h / 2);
    path.lineTo(left, top + h);
    path.closeSubpath();
    return path;
}

QPainterPath triangleLeft(qreal right, qreal top, qreal w, qreal h)
{
    QPainterPath path;
    path.moveTo(right, top);
    path.lineTo(right - w, top + h / 2);
    path.lineTo(right, top + h);
    path.closeSubpath();
    return path;
}

// Rounds the corners of a glyph path slightly so it matches the round pen caps.
void fillGlyph(QPainter &p, const QPainterPath &path, QColor fill, qreal roundness = 1.6)
{
    p.setPen(QPen(fill, roundness, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(path);
}

// ---- 40 x 40 command icons -------------------------------------------------------

const QRectF kTile(2, 2, 36, 36);

void drawAdd(QPainter &p)
{
    tile(p, kTile, QColor(0x43, 0xC5, 0x7E), QColor(0x1E, 0x9A, 0x58));
    p.setPen(whitePen(5));
    p.drawLine(QPointF(20, 11), QPointF(20, 29));
    p.drawLine(QPointF(11, 20), QPointF(29, 20));
}

void drawDelete(QPainter &p)
{
    tile(p, kTile, QColor(0xEF, 0x53, 0x50), QColor(0xC6, 0x28, 0x28));
    const QColor white(Qt::white);
    // Lid and handle.
    p.setPen(whitePen(2.6));
    p.drawLine(QPointF(11, 13.5), QPointF(29, 13.5));
    p.drawLine(QPointF(17, 10.5), QPointF(23, 10.5));
    // Body, slightly narrower at the bottom, with three slots.
    QPainterPath body;
    body.moveTo(12.5, 16.5);
    body.lineTo(27.5, 16.5);
    body.lineTo(26, 30);
    body.lineTo(14, 30);
    body.closeSubpath();
    fillGlyph(p, body, white, 2);
    p.setPen(QPen(QColor(0xD8, 0x3A, 0x38), 1.8, Qt::SolidLine, Qt::RoundCap));
    for (qreal x : {16.5, 20.0, 23.5})
        p.drawLine(QPointF(x, 19.5), QPointF(x, 27));
}

void drawProperty(QPainter &p)
{
    tile(p, kTile, QColor(0x4F, 0xA8, 0xF7), QColor(0x1C, 0x76, 0xD2));
    p.setPen(whitePen(2.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(20, 20), 10.5, 10.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(20, 14.6), 1.9, 1.9);
    p.setPen(whitePen(3.2));
    p.drawLine(QPointF(20, 19), QPointF(20, 25.8));
}

void drawTaskInfo(QPainter &p)
{
    tile(p, kTile, QColor(0x9C, 0x7B, 0xDB), QColor(0x62, 0x3A, 0xB4));
    // Three sliders: per-file settings of their own.
    const qreal ys[] = {13, 20, 27};
    const qreal knobs[] = {24, 15, 21};
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 150), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10.5, ys[i]), QPointF(29.5, ys[i]));
        p.setPen(QPen(QColor(0x62, 0x3A, 0xB4), 1.4));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(knobs[i], ys[i]), 3.4, 3.4);
    }
}

void drawExit(QPainter &p)
{
    tile(p, kTile, QColor(0x86, 0x9C, 0xA8), QColor(0x4E, 0x66, 0x73));
    p.setPen(whitePen(3));
    p.setBrush(Qt::NoBrush);
    // The power symbol: an open ring and a bar through its gap.
    const QRectF ring(11, 12, 18, 18);
    p.drawArc(ring, (90 + 40) * 16, (360 - 80) * 16);
    p.drawLine(QPointF(20, 9.5), QPointF(20, 19.5));
}

void drawConvertSelected(QPainter &p)
{
    tile(p, kTile, QColor(0x2E, 0xC4, 0xB6), QColor(0x00, 0x89, 0x7B));
    // One item, then go: a bar and a play arrow.
    p.setPen(whitePen(3.6));
    p.drawLine(QPointF(12.5, 12.5), QPointF(12.5, 27.5));
    fillGlyph(p, triangleRight(17, 11.5, 13, 17), Qt::white, 2.4);
}

void drawConvertAll(QPainter &p)
{
    tile(p, kTile, QColor(0x4F, 0x8C, 0xF7), QColor(0x2A, 0x56, 0xC6));
    // Everything, one after the other: two arrows in a row.
    fillGlyph(p, triangleRight(9, 12, 11, 16), Qt::white, 2.4);
    fillGlyph(p, triangleRight(20, 12, 11, 16), Qt::white, 2.4);
}

void drawStopConvert(QPainter &p)
{
    tile(p, kTile, QColor(0xFF, 0x7A, 0x4D), QColor(0xE0, 0x45, 0x14));
    QPainterPath square;
    square.addRoundedRect(QRectF(12.5, 12.5, 15, 15), 2.5, 2.5);
    fillGlyph(p, square, Qt::white, 1);
}

void drawPauseConvert(QPainter &p)
{
    tile(p, kTile, QColor(0xFF, 0xC1, 0x3D), QColor(0xE0, 0x8E, 0x0B));
    for (qreal x : {13.0, 22.0}) {
        QPainterPath bar;
        bar.addRoundedRect(QRectF(x, 12, 5, 16), 1.5, 1.5);
        fillGlyph(p, bar, Qt::white, 1);
    }
}

void drawRemoveCompleted(QPainter &p)
{
    tile(p, kTile, QColor(0x8B, 0xC3, 0x4A), QColor(0x55, 0x8B, 0x2F));
    // A done mark swept off the list: a tick over a short bar.
    p.setPen(whitePen(3.4));
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(11.5, 18);
    tick.lineTo(17, 23.5);
    tick.lineTo(28.5, 11.5);
    p.drawPath(tick);
    p.drawLine(QPointF(12, 29), QPointF(28, 29));
}

// ---- 16 x 16 transport and trim icons ----------------------------------------------

void outlinedGlyph(QPainter &p, const QPainterPath &path, QColor fill)
{
    p.setPen(QPen(fill.darker(150), 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient g(0, 0, 0, 16);
    g.setColorAt(0, fill.lighter(118));
    g.setColorAt(1, fill);
    p.setBrush(g);
    p.drawPath(path);
}

const QColor kPlayGreen(0x2F, 0xAE, 0x5F);
const QColor kPauseBlue(0x2F, 0x80, 0xED);
const QColor kStopRed(0xE5, 0x3E, 0x3E);
const QColor kTrimOrange(0xF0, 0x8C, 0x1A);

void drawPlay(QPainter &p)
{
    outlinedGlyph(p, triangleRight(4, 2.5, 10, 11), kPlayGreen);
}

void drawPause(QPainter &p)
{
    QPainterPath bars;
    bars.addRoundedRect(QRectF(3.5, 2.5, 3.6, 11), 1, 1);
    bars.addRoundedRect(QRectF(8.9, 2.5, 3.6, 11), 1, 1);
    outlinedGlyph(p, bars, kPauseBlue);
}

void drawStop(QPainter &p)
{
    QPainterPath square;
    square.addRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
    outlinedGlyph(p, square, kStopRed);
}

void drawSetStart(QPainter &p)
{
    // "[>": the start mark with the direction the range runs.
    QPainterPath glyph;
    glyph.addRoundedRect(QRectF(2.5, 2.5, 2.6, 11), 0.8, 0.8);
    glyph.addPath(triangleRight(6.5, 3.5, 7.5, 9));
    outlinedGlyph(p, glyph, kTrimOrange);
}

void drawSetStop(QPainter &p)
{
    QPainterPath glyph;
    glyph.addPath(triangleLeft(9.5, 3.5, 7.5, 9));
    glyph.addRoundedRect(QRectF(10.9, 2.5, 2.6, 11), 0.8, 0.8);
    outlinedGlyph(p, glyph, kTrimOrange);
}

void drawFileVideo(QPainter &p)
{
    // A film frame with sprocket holes.
    const QColor blue(0x2F, 0x6F, 0xD6);
    p.setPen(QPen(blue.darker(140), 1));
    p.setBrush(blue);
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xCF, 0xE2, 0xFF));
    p.drawRect(QRectF(5, 4, 6, 8));
    p.setBrush(Qt::white);
    for (qreal y : {4.0, 7.0, 10.0}) {
        p.drawRect(QRectF(2.6, y, 1.4, 1.6));
        p.drawRect(QRectF(12, y, 1.4, 1.6));
    }
}

void drawFileAudio(QPainter &p)
{
    // Two beamed notes.
    const QColor purple(0x8E, 0x44, 0xAD);
    p.setPen(Qt::NoPen);
    p.setBrush(purple);
    p.save();
    p.translate(4.6, 12.2);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), 2.6, 1.9);
    p.restore();
    p.save();
    p.translate(11.6, 10.6);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), 2.6, 1.9);
    p.restore();
    p.setPen(QPen(purple, 1.3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(6.8, 11.8), QPointF(6.8, 3.3));
    p.drawLine(QPointF(13.8, 10.2), QPointF(13.8, 1.9));
    QPainterPath beam;
    beam.moveTo(6.2, 2.9);
    beam.lineTo(14.4, 1.4);
    beam.lineTo(14.4, 4.0);
    beam.lineTo(6.2, 5.5);
    beam.closeSubpath();
    p.setPen(Qt::NoPen);
    p.drawPath(beam);
}

// ---- application icon -----------------------------------------------------------------

void drawApp(QPainter &p, int size)
{
    const qreal s = size / 64.0;
    p.scale(s, s);
    const QRectF r(3, 3, 58, 58);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawRoundedRect(r.translated(0, 1.5), 13, 13);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0x3D, 0x5A, 0xFE));
    g.setColorAt(1, QColor(0x00, 0xB0, 0xC8));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x1F, 0x3B, 0x9A), 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 13, 13);

    // A film frame with sprocket holes along top and bottom.
    const QRectF frame(12, 16, 40, 30);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(frame, 4, 4);
    // Below 32 pixels the holes and the arrow would only blur the picture.
    const bool detailed = size >= 32;
    p.setBrush(QColor(0x2B, 0x5B, 0xE0));
    for (int i = 0; detailed && i < 6; ++i) {
        p.drawRoundedRect(QRectF(15.5 + i * 6, 18.5, 3, 2.8), 0.8, 0.8);
        p.drawRoundedRect(QRectF(15.5 + i * 6, 40.7, 3, 2.8), 0.8, 0.8);
    }
    QPainterPath play = triangleRight(27, 24.5, 12, 13);
    p.setPen(QPen(QColor(0x1E, 0x88, 0xB8), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0x1E, 0x88, 0xB8));
    p.drawPath(play);

    // The converting badge: an orange disc with a turning arrow.
    const QPointF c(47, 47);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(0xFF, 0x8F, 0x1F));
    p.drawEllipse(c, 10, 10);
    if (!detailed)
        return;
    // A clockwise arc from 120 degrees round to 210 degrees, the head at its end.
    const qreal radius = 5.2;
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius), 120 * 16, -250 * 16);
    const qreal end = (120 - 250) * M_PI / 180;
    const QPointF at(c.x() + radius * std::cos(end), c.y() - radius * std::sin(end));
    const QPointF along(std::sin(end), std::cos(end)); // clockwise tangent on screen
    const QPointF out(std::cos(end), -std::sin(end));  // away from the centre
    QPainterPath head;
    head.moveTo(at + along * 3.6);
    head.lineTo(at - along * 1.2 + out * 3.4);
    head.lineTo(at - along * 1.2 - out * 3.4);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(head);
}

// ---- idle picture of the preview area -------------------------------------------------

void drawPreviewIdle(QPainter &p)
{
    const QColor body(0x46, 0x50, 0x5E);
    const QColor edge(0x7D, 0x89, 0x9B);
    const QColor light(0xE6, 0xEA, 0xF0);

    // The board.
    const QRectF board(22, 38, 84, 52);
    p.setPen(QPen(edge, 1.5));
    p.setBrush(body);
    p.drawRoundedRect(board, 6, 6);

    // The clapper bar on the board, striped.
    const QRectF bar(22, 28, 84, 11);
    QPainterPath barPath;
    barPath.addRoundedRect(bar, 3, 3);
    p.setBrush(light);
    p.drawPath(barPath);
    p.save();
    p.setClipPath(barPath);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    for (int i = -1; i < 8; ++i) {
        QPainterPath stripe;
        const qreal x = bar.left() + i * 12;
        stripe.moveTo(x, bar.bottom());
        stripe.lineTo(x + 6, bar.bottom());
        stripe.lineTo(x + 12, bar.top());
        stripe.lineTo(x + 6, bar.top());
        stripe.closeSubpath();
        p.drawPath(stripe);
    }
    p.restore();

    // The open clapper arm, hinged at the left.
    p.save();
    p.translate(24, 27);
    p.rotate(-16);
    const QRectF arm(0, -10, 82, 10);
    QPainterPath armPath;
    armPath.addRoundedRect(arm, 3, 3);
    p.setPen(QPen(edge, 1.5));
    p.setBrush(light);
    p.drawPath(armPath);
    p.setClipPath(armPath);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    for (int i = -1; i < 8; ++i) {
        QPainterPath stripe;
        const qreal x = i * 12;
        stripe.moveTo(x, 0);
        stripe.lineTo(x + 6, 0);
        stripe.lineTo(x + 12, -10);
        stripe.lineTo(x + 6, -10);
        stripe.closeSubpath();
        p.drawPath(stripe);
    }
    p.restore();
    p.setPen(QPen(edge, 1.5));
    p.setBrush(light);
    p.drawEllipse(QPointF(26, 29), 3, 3);

    // A play sign in a ring on the board.
    const QPointF c(64, 64);
    p.setPen(QPen(light, 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 15, 15);
    fillGlyph(p, triangleRight(c.x() - 5, c.y() - 8, 14, 16), light, 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    g_outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/icons");
    QDir().mkpath(g_outDir);

    const struct
    {
        const char *name;
        int w, h;
        std::function<void(QPainter &)> draw;
    } icons[] = {
        {"add.png", 40, 40, drawAdd},
        {"delete.png", 40, 40, drawDelete},
        {"property.png", 40, 40, drawProperty},
        {"taskinfo.png", 40, 40, drawTaskInfo},
        {"exit.png", 40, 40, drawExit},
        {"convert-selected.png", 40, 40, drawConvertSelected},
        {"convert-all.png", 40, 40, drawConvertAll},
        {"stop-convert.png", 40, 40, drawStopConvert},
        {"pause-convert.png", 40, 40, drawPauseConvert},
        {"remove-completed.png", 40, 40, drawRemoveCompleted},
        {"play.png", 16, 16, drawPlay},
        {"pause.png", 16, 16, drawPause},
        {"stop.png", 16, 16, drawStop},
        {"set-start.png", 16, 16, drawSetStart},
        {"set-stop.png", 16, 16, drawSetStop},
        {"file-video.png", 16, 16, drawFileVideo},
        {"file-audio.png", 16, 16, drawFileAudio},
        {"preview-idle.png", 128, 96, drawPreviewIdle},
    };
    for (const auto &icon : icons) {
        QImage image = canvas(icon.w, icon.h);
        paint(image, icon.draw);
        save(image, icon.name);
    }
    // The program's icon in the sizes of the desktop's icon theme; app/app.svg is the same
    // drawing by hand, for the theme's scalable size.
    QDir(g_outDir).mkpath(QStringLiteral("app"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image = canvas(size, size);
        paint(image, [size](QPainter &p) { drawApp(p, size); });
        save(image, QStringLiteral("app/app-%1.png").arg(size).toUtf8().constData());
    }
    return 0;
}
