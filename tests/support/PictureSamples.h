#pragma once
// Pictures made at test time: buttons and banners of known text, drawn from a font file (so
// fontconfig cannot change them), and photo-like pictures without text. Needs a QGuiApplication.
#include <leptonica/allheaders.h>

#include <QBuffer>
#include <QGlyphRun>
#include <QPainter>
#include <QRandomGenerator>
#include <QRawFont>
#include <string>

namespace bw::test {

enum class Look { Plain, LightOnDark, Gradient, Stripes };

// `roomy`: the ground stands well beyond the letters, as on most buttons and banners.
inline QImage button(const QString& text, const QString& fontFile, int pixelSize, Look look, bool roomy = false)
{
    const QRawFont font("/usr/share/fonts/truetype/" + fontFile, pixelSize);
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes(font.glyphIndexesForString(text));
    QList<QPointF> places{{0, 0}};
    for (const QPointF& advance : font.advancesForGlyphIndexes(run.glyphIndexes()))
        places.append(places.back() + QPointF(advance.x(), 0));
    run.setPositions(places);
    const int pad = roomy ? pixelSize * 2 : pixelSize * 3 / 4, height = int(font.ascent() + font.descent()) + pad;
    QImage image(int(places.back().x()) + 2 * pad, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const bool dark = look == Look::LightOnDark || look == Look::Stripes;
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setStops({{0, dark ? QColor(20, 60, 120) : QColor(250, 250, 235)}, {1, dark ? QColor(90, 20, 40) : QColor(170, 200, 240)}});
    painter.fillRect(image.rect(), look == Look::Gradient || look == Look::Stripes ? QBrush(gradient) : QBrush(dark ? QColor(30, 40, 90) : QColor(235, 235, 235)));
    painter.fillRect(image.rect(), QBrush(QColor(255, 255, 255, 40), look == Look::Stripes ? Qt::BDiagPattern : Qt::NoBrush));
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
    sky.setStops({{0, colour()}, {1, colour()}});
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    for (int shape = 0; shape < 12; ++shape) {
        const QPointF centre(random.bounded(width), random.bounded(height));
        const qreal radius = 10 + random.bounded(height / 2);
        QRadialGradient soft(centre, radius);
        soft.setStops({{0, colour()}, {random.bounded(1.0), colour()}, {1, Qt::transparent}});
        painter.setBrush(soft);
        painter.drawEllipse(centre, radius * (0.5 + random.bounded(1.0)), radius);
    }
    painter.end();
    for (int grain = 0; grain < width * height / 8; ++grain) // a camera's noise
        image.setPixel(random.bounded(width), random.bounded(height), image.pixel(random.bounded(width), random.bounded(height)));
    return image;
}

// The picture's file: "PNG" and "JPG" as Qt writes them, "GIF" as leptonica does.
inline std::string encoded(const QImage& image, const std::string& format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format == "JPG" ? "JPG" : "PNG", 85);
    Pix* pix = format == "GIF" ? pixReadMem(reinterpret_cast<const l_uint8*>(bytes.constData()), size_t(bytes.size())) : nullptr;
    l_uint8* gif = nullptr;
    size_t size = 0;
    const bool written = pix && pixWriteMem(&gif, &size, pix, IFF_GIF) == 0;
    pixDestroy(&pix);
    std::string out = written ? std::string(reinterpret_cast<const char*>(gif), size) : bytes.toStdString();
    lept_free(gif);
    return out;
}

} // namespace bw::test
