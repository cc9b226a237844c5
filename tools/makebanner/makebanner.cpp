// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the 295 x 86 banner of the password area: ./dev banner writes ui/banner.png and
// ui/banner@2x.png with it.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {
void drawShackle(QPainter &p)
{
    QPainterPath shackle;
    shackle.moveTo(26, 40);
    shackle.lineTo(26, 26);
    shackle.arcTo(QRectF(26, 8, 30, 34), 180, -180);
    shackle.lineTo(56, 40);
    QLinearGradient silver(24, 0, 58, 0);
    silver.setColorAt(0.0, QColor(0x8a, 0x8f, 0x96));
    silver.setColorAt(0.35, QColor(0xf4, 0xf6, 0xf8));
    silver.setColorAt(0.6, QColor(0xb4, 0xb9, 0xc0));
    silver.setColorAt(1.0, QColor(0x70, 0x75, 0x7c));
    p.setPen(QPen(QColor(0x5c, 0x60, 0x66), 9, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawPath(shackle);
    p.setPen(QPen(QBrush(silver), 6.5, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawPath(shackle);
}

void drawBody(QPainter &p)
{
    const QRectF body(12, 38, 58, 42);
    QLinearGradient gold(body.topLeft(), body.bottomLeft());
    gold.setColorAt(0.0, QColor(0xff, 0xe6, 0x8a));
    gold.setColorAt(0.45, QColor(0xf0, 0xbe, 0x38));
    gold.setColorAt(1.0, QColor(0xb3, 0x7e, 0x12));
    p.setPen(QPen(QColor(0x8c, 0x60, 0x0c), 1.2));
    p.setBrush(gold);
    p.drawRoundedRect(body, 7, 7);

    // A soft sheen on the upper left, as on polished metal.
    QRadialGradient sheen(QPointF(26, 46), 26);
    sheen.setColorAt(0.0, QColor(255, 255, 255, 110));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawRoundedRect(body.adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);

    // Three engraved grooves: a dark cut with a light edge under it.
    for (int i = 0; i < 3; ++i) {
        const qreal y = 50 + i * 10;
        p.setPen(QPen(QColor(0x8a, 0x5c, 0x08), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(20, y), QPointF(62, y));
        p.setPen(QPen(QColor(0xff, 0xf1, 0xb8), 1.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(20, y + 1.6), QPointF(62, y + 1.6));
    }
}

void drawTitle(QPainter &p)
{
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(38);
    font.setWeight(QFont::Black);
    QPainterPath text;
    text.addText(QPointF(86, 58), font, QStringLiteral("密码生成器"));

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 38));
    p.drawPath(text.translated(1.5, 1.8));

    QLinearGradient grey(0, 22, 0, 62);
    grey.setColorAt(0.0, QColor(0x6e, 0x6e, 0x6e));
    grey.setColorAt(0.5, QColor(0x4a, 0x4a, 0x4a));
    grey.setColorAt(1.0, QColor(0x2b, 0x2b, 0x2b));
    p.setBrush(grey);
    p.drawPath(text);
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        qWarning("usage: makebanner OUTPUT.png SCALE");
        return 2;
    }
    // The same drawing at 1x and 2x, so a high-DPI screen gets a sharp banner.
    const int scale = QByteArray(argv[2]).toInt();
    QImage image(295 * scale, 86 * scale, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    drawShackle(p);
    drawBody(p);
    drawTitle(p);
    p.end();
    return image.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
