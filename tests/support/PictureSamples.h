#pragma once
// Pictures made at test time: buttons and banners of known text, drawn from a font file (so
// fontconfig cannot change them), and photo-like pictures without text. Needs a QGuiApplication.
#include <leptonica/allheaders.h>

#include <QBuffer>
#include <QGlyphRun>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QRawFont>
#include <QRandomGenerator>
#include <string>

namespace bw::test {

enum class Look { Plain, LightOnDark, Gradient, Stripes };

inline QImage button(const QString& text, const QString& fontFile, int pixelSize, Look look)
{
    const QRawFont font("/usr/share/fonts/truetype/" + fontFile, pixelSize);
    QGlyphRun run;
    run.setRawFont(font);
    const QList<quint32> glyphs = font.glyphIndexesForString(text);
    QList<QPointF> places;
    qreal x = 0;
    for (const QPointF& advance : font.advancesForGlyphIndexes(glyphs))
        places.append({x, 0}), x += advance.x();
    run.setGlyphIndexes(glyphs);
    run.setPositions(places);
    const int pad = pixelSize * 3 / 4, height = int(font.ascent() + font.descent()) + pad;
    QImage image(int(x) + 2 * pad, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const bool dark = look == Look::LightOnDark || look == Look::Stripes;
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, dark ? QColor(20, 60, 120) : QColor(250, 250, 235));
    gradient.setColorAt(1, dark ? QColor(90, 20, 40) : QColor(170, 200, 240));
    painter.fillRect(image.rect(), look == Look::Gradient || look == Look::Stripes ? QBrush(gradient) : QBrush(dark ? QColor(30, 40, 90) : QColor(235, 235, 235)));
    if (look == Look::Stripes)
        painter.fillRect(image.rect(), QBrush(QColor(255, 255, 255, 40), Qt::BDiagPattern));
    painter.setPen(dark ? QColor(255, 250, 220) : QColor(25, 25, 60));
    painter.drawGlyphRun(QPointF(pad, pad / 2 + font.ascent()), run);
    return image;
}

// Soft shapes on a gradient, with grain: what a camera gives, without a letter.
inline QImage photo(quint32 seed, int width, int height)
{
    QRandomGenerator random(seed);
    const auto colour = [&] { return QColor::fromRgb(random.bounded(256), random.bounded(256), random.bounded(256)); };
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, random.bounded(width), height);
    sky.setColorAt(0, colour());
    sky.setColorAt(1, colour());
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    for (int shape = 0; shape < 12; ++shape) {
        const QPointF centre(random.bounded(width), random.bounded(height));
        const qreal radius = 10 + random.bounded(height / 2);
        QRadialGradient soft(centre, radius);
        soft.setColorAt(0, colour());
        soft.setColorAt(random.bounded(1.0), colour());
        soft.setColorAt(1, Qt::transparent);
        painter.setBrush(soft);
        painter.drawEllipse(centre, radius * (0.5 + random.bounded(1.0)), radius);
    }
    painter.end();
    for (int y = 0; y < height; ++y)
        for (QRgb *line = reinterpret_cast<QRgb*>(image.scanLine(y)), *p = line; p < line + width; ++p) {
            const int grain = random.bounded(25) - 12;
            *p = qRgb(qBound(0, qRed(*p) + grain, 255), qBound(0, qGreen(*p) + grain, 255), qBound(0, qBlue(*p) + grain, 255));
        }
    return image;
}

// The picture's file: "PNG" and "JPG" as Qt writes them, "GIF" as leptonica does.
inline std::string encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, std::string_view(format) == "JPG" ? "JPG" : "PNG", 85);
    if (std::string_view(format) != "GIF")
        return bytes.toStdString();
    Pix* pix = pixReadMem(reinterpret_cast<const l_uint8*>(bytes.constData()), size_t(bytes.size()));
    l_uint8* gif = nullptr;
    size_t size = 0;
    pixWriteMem(&gif, &size, pix, IFF_GIF);
    pixDestroy(&pix);
    std::string out(reinterpret_cast<const char*>(gif), size);
    lept_free(gif);
    return out;
}

} // namespace bw::test
