#include "splash/SplashImageList.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// The five steps the splash can show; each exists in an off and an on state.
enum class Glyph { Local, Playout, Security, Validate, OpenDatabase };

struct Entry {
    const char* base;
    Glyph glyph;
    QColor accent; // colour of the "on" picture
};

const Entry kEntries[] = {
    {"local", Glyph::Local, QColor(0x2f, 0x7d, 0xd1)},
    {"playout", Glyph::Playout, QColor(0xe0, 0x7a, 0x1f)},
    {"security", Glyph::Security, QColor(0x7a, 0x4f, 0xc9)},
    {"validate", Glyph::Validate, QColor(0x1f, 0x9c, 0x8a)},
    {"opendatabase", Glyph::OpenDatabase, QColor(0xc9, 0x3f, 0x5b)},
};

const QColor kOffInk(0x98, 0xa1, 0xab);
const QColor kOffDisc(0xe9, 0xec, 0xef);
const QColor kDoneBadge(0x2e, 0xa0, 0x43);

// All glyphs are drawn on a 48 x 48 grid.
void drawLocal(QPainter& p)
{
    // A workstation monitor: the settings of this machine.
    p.drawRoundedRect(QRectF(11, 13, 26, 18), 2, 2);
    p.drawLine(QPointF(24, 31), QPointF(24, 35));
    p.drawLine(QPointF(18, 35.5), QPointF(30, 35.5));
}

void drawPlayout(QPainter& p)
{
    // A loudspeaker with sound waves: the audio systems.
    QPainterPath speaker;
    speaker.moveTo(11, 20);
    speaker.lineTo(17, 20);
    speaker.lineTo(24, 14);
    speaker.lineTo(24, 34);
    speaker.lineTo(17, 28);
    speaker.lineTo(11, 28);
    speaker.closeSubpath();
    p.drawPath(speaker);
    p.drawArc(QRectF(22, 17, 10, 14), -50 * 16, 100 * 16);
    p.drawArc(QRectF(22, 12, 16, 24), -50 * 16, 100 * 16);
}

void drawSecurity(QPainter& p)
{
    // A padlock: the user directory and rights.
    p.drawArc(QRectF(17, 10, 14, 16), 0, 180 * 16);
    p.drawLine(QPointF(17, 18), QPointF(17, 22));
    p.drawLine(QPointF(31, 18), QPointF(31, 22));
    p.drawRoundedRect(QRectF(13, 22, 22, 15), 2, 2);
    p.drawLine(QPointF(24, 27), QPointF(24, 31));
}

void drawValidate(QPainter& p)
{
    // A shield with a tick: the settings have been checked.
    QPainterPath shield;
    shield.moveTo(24, 10);
    shield.lineTo(35, 14);
    shield.cubicTo(35, 26, 31, 33, 24, 38);
    shield.cubicTo(17, 33, 13, 26, 13, 14);
    shield.closeSubpath();
    p.drawPath(shield);
    p.drawPolyline(QPolygonF({QPointF(19, 24), QPointF(23, 28), QPointF(30, 20)}));
}

void drawOpenDatabase(QPainter& p)
{
    // A database drum: the cart store.
    p.drawEllipse(QRectF(13, 10, 22, 7));
    p.drawLine(QPointF(13, 13.5), QPointF(13, 34.5));
    p.drawLine(QPointF(35, 13.5), QPointF(35, 34.5));
    p.drawArc(QRectF(13, 31, 22, 7), 180 * 16, 180 * 16);
    p.drawArc(QRectF(13, 20.5, 22, 7), 180 * 16, 180 * 16);
}

void drawGlyph(QPainter& p, Glyph glyph)
{
    switch (glyph) {
    case Glyph::Local: drawLocal(p); break;
    case Glyph::Playout: drawPlayout(p); break;
    case Glyph::Security: drawSecurity(p); break;
    case Glyph::Validate: drawValidate(p); break;
    case Glyph::OpenDatabase: drawOpenDatabase(p); break;
    }
}

void drawDoneBadge(QPainter& p)
{
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(kDoneBadge);
    p.drawEllipse(QRectF(31, 31, 15, 15));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(34.5, 38.5), QPointF(37.5, 41.5), QPointF(42.5, 35.5)}));
}

// A pale wash of the accent for the disc behind an "on" glyph.
QColor wash(const QColor& accent)
{
    const auto mix = [](int channel) { return (channel + 3 * 255) / 4; };
    return QColor(mix(accent.red()), mix(accent.green()), mix(accent.blue()));
}

QPixmap paint(const Entry& entry, bool on, qreal devicePixelRatio)
{
    const int side = qRound(SplashImageList::IconSize * devicePixelRatio);
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);

    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(on ? wash(entry.accent) : kOffDisc);
    p.drawEllipse(QRectF(1, 1, 46, 46));

    const QColor ink = on ? entry.accent : kOffInk;
    p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    drawGlyph(p, entry.glyph);

    if (on)
        drawDoneBadge(p);
    return pixmap;
}

const Entry* find(const QString& key, bool* on)
{
    for (const Entry& entry : kEntries) {
        const QString base = QLatin1String(entry.base);
        // Keys are matched without regard to case, as callers have always written them freely.
        if (key.compare(base, Qt::CaseInsensitive) == 0 || key.compare(base + QLatin1String("on"), Qt::CaseInsensitive) == 0) {
            *on = key.size() > base.size();
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

QStringList SplashImageList::keys()
{
    QStringList result;
    for (const Entry& entry : kEntries)
        result << QLatin1String(entry.base) << QLatin1String(entry.base) + QLatin1String("on");
    return result;
}

bool SplashImageList::contains(const QString& key)
{
    bool on = false;
    return find(key, &on) != nullptr;
}

QPixmap SplashImageList::picture(const QString& key, qreal devicePixelRatio)
{
    bool on = false;
    const Entry* entry = find(key, &on);
    return entry ? paint(*entry, on, devicePixelRatio) : QPixmap();
}
