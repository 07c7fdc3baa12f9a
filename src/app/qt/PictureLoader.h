#pragma once
// Pictures decoded off the GUI thread at the size they are shown at, cached, and never
// decoded at all past a pixel budget.
#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <deque>
#include <string>

namespace bw {

// What a picture is read from: a file, or the bytes a page carries itself.
struct PictureSource {
    QString file;
    QByteArray data;
    static PictureSource of(const std::string& file, const std::string& data);
    bool empty() const { return file.isEmpty() && data.isEmpty(); }
    // Names the picture in the cache: its path, or a digest of its bytes.
    QString key() const;
};

struct DecodedPicture {
    QImage image;    // null when the picture is not shown
    QSize own;       // its own size, turned as its camera says; invalid when unknown
    QString problem; // why it is not shown, in a sentence for the user
    bool fitted = false; // made smaller (or rendered) to fit the room
};

// Pictures of more pixels than this are never decoded. A reader that cannot decode scaled
// (PNG, GIF, BMP: all but JPEG and SVG) works through every pixel, and Qt's own limit for one
// decode is 256 MB, which 4 bytes a pixel reach at 64 megapixels; past it a decode takes
// seconds of a core and fails anyway. JPEG, which could scale while decoding, is held to it
// too, so that what the user sees does not depend on the format.
inline constexpr qint64 kPixelBudget = 64LL * 1024 * 1024;

// Decodes to fit `room` (device pixels), never larger than the picture; a drawing (SVG) is
// rendered to fill it. Safe on any thread.
DecodedPicture decodePicture(const PictureSource& source, QSize room);

struct Picture {
    QPixmap pixmap; // null when it is not shown
    QSize own;
    QString problem;
    bool fitted = false;
};

class PictureLoader : public QObject {
    Q_OBJECT
public:
    // The view wants one picture at a time; thumbnails are many, and only the latest few wait.
    enum class Lane { View, Thumbnail };

    explicit PictureLoader(QObject* parent = nullptr);
    ~PictureLoader() override;

    // The picture at `room` when it is known; otherwise it is asked for, nullptr comes back
    // and ready() follows. A view request cancels the view's request before it.
    const Picture* picture(const PictureSource& source, QSize room, Lane lane);
    // Pictures no longer wanted in a lane (the page closed) are not decoded.
    void cancel(Lane lane);
    // Waits for the decodes under way; settle() delivers them too (for tests and benchmarks).
    void waitForDecodes() { pool_.waitForDone(); }
    void settle();
    // Decodes in the asking thread, at once: what tests use to see the window deterministically.
    static void setDecodeInline(bool decodeInline);

    static constexpr int kWaitingThumbnails = 48;

signals:
    void ready(const QString& key, QSize room, const bw::Picture& picture);

private:
    class Job;
    void finished(Job* job, const DecodedPicture& decoded);
    void drop(Job* job);
    const Picture* keep(const QString& cacheKey, const DecodedPicture& decoded);

    QThreadPool pool_;
    QCache<QString, Picture> cache_; // by key and room; its cost in kilobytes
    QHash<QString, Job*> pending_;    // by key and room
    Job* view_ = nullptr;             // the view's request while it waits
    std::deque<Job*> thumbnails_;     // waiting, oldest first
    Picture spare_;                   // one too large for the cache
};

} // namespace bw
