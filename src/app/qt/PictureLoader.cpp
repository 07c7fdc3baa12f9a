#include "app/qt/PictureLoader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QImageReader>
#include <QRunnable>
#include <algorithm>
#include <atomic>

#include "platform/qt/QtPlatform.h"

namespace bw {
namespace {
bool decodeInline = false;
} // namespace

PictureSource PictureSource::of(const std::string& file, const std::string& data)
{
    PictureSource source;
    if (!file.empty())
        source.file = fromPath(file);
    else
        source.data = QByteArray(data.data(), static_cast<qsizetype>(data.size()));
    return source;
}

QString PictureSource::key() const
{
    return !file.isEmpty() ? file : "data:" + QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

DecodedPicture decodePicture(const PictureSource& source, QSize room)
{
    QBuffer buffer;
    QImageReader reader;
    if (!source.file.isEmpty()) {
        reader.setFileName(source.file);
    } else {
        buffer.setData(source.data);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
    }
    // Turned as its camera says.
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    const bool drawing = format == "svg" || format == "svgz";
    DecodedPicture decoded;
    // The header's size, before a pixel is decoded.
    QSize own = reader.size();
    const bool turned = !drawing && (reader.transformation() & QImageIOHandler::TransformationRotate90);
    if (turned)
        own.transpose();
    if (!drawing && own.isValid() && qint64(own.width()) * own.height() > kPixelBudget) {
        decoded.own = own;
        decoded.problem = QString("This picture is too large to show: %1 \u00D7 %2 pixels").arg(own.width()).arg(own.height());
        return decoded;
    }
    // A drawing is rendered at the size it is shown at, so it stays sharp; pixels are only
    // ever scaled down, never up, and never distorted.
    if (own.isValid() && !own.isEmpty() && (drawing || own.width() > room.width() || own.height() > room.height())) {
        QSize fit = own.scaled(room, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        reader.setScaledSize(turned ? fit.transposed() : fit);
        decoded.fitted = true;
    }
    QImage image = reader.read();
    if (image.isNull()) {
        decoded.problem = "This picture cannot be shown: " + reader.errorString();
        return decoded;
    }
    decoded.own = own.isValid() ? own : image.size();
    if (image.width() > room.width() || image.height() > room.height()) {
        image = image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        decoded.fitted = true;
    }
    decoded.image = std::move(image);
    return decoded;
}

class PictureLoader::Job : public QRunnable {
public:
    Job(PictureLoader* owner, PictureSource source, QSize room, QString key, QString cacheKey)
        : owner(owner), source(std::move(source)), room(room), key(std::move(key)), cacheKey(std::move(cacheKey))
    {
        setAutoDelete(false); // the loader deletes it, on its own thread
    }
    void run() override
    {
        const bool skipped = cancelled;
        DecodedPicture decoded = skipped ? DecodedPicture{} : decodePicture(source, room);
        QMetaObject::invokeMethod(
            owner, [owner = owner, job = this, skipped, decoded = std::move(decoded)] {
                if (skipped)
                    owner->drop(job);
                else
                    owner->finished(job, decoded);
            },
            Qt::QueuedConnection);
    }

    PictureLoader* owner;
    const PictureSource source;
    const QSize room;
    const QString key, cacheKey;
    std::atomic<bool> cancelled = false;
};

PictureLoader::PictureLoader(QObject* parent) : QObject(parent), cache_(64 * 1024)
{
    pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4));
}

PictureLoader::~PictureLoader()
{
    for (Job* job : pending_)
        job->cancelled = true;
    pool_.clear();
    pool_.waitForDone();
    // Their results, posted to this object, go with it.
    qDeleteAll(pending_);
}

void PictureLoader::setDecodeInline(bool on) { decodeInline = on; }

const Picture* PictureLoader::picture(const PictureSource& source, QSize room, Lane lane)
{
    const QString key = source.key();
    const QString cacheKey = key + '@' + QString::number(room.width()) + 'x' + QString::number(room.height());
    if (const Picture* known = cache_.object(cacheKey))
        return known;
    if (decodeInline)
        return keep(cacheKey, decodePicture(source, room));
    Job* job = pending_.value(cacheKey);
    if (lane == Lane::View && view_ && view_ != job)
        cancel(Lane::View);
    if (!job) {
        job = new Job(this, source, room, key, cacheKey);
        pending_.insert(cacheKey, job);
        // The picture in view goes before the thumbnails.
        pool_.start(job, lane == Lane::View ? 1 : 0);
        if (lane == Lane::Thumbnail)
            thumbnails_.push_back(job);
    }
    if (lane == Lane::View)
        view_ = job;
    // Rows scrolled past long ago are not worth the wait of those in view now.
    while (thumbnails_.size() > kWaitingThumbnails) {
        Job* old = thumbnails_.front();
        thumbnails_.pop_front();
        if (old == view_)
            continue;
        old->cancelled = true;
        if (pool_.tryTake(old))
            drop(old);
    }
    return nullptr;
}

void PictureLoader::cancel(Lane lane)
{
    std::deque<Job*> jobs;
    if (lane == Lane::View && view_)
        jobs.push_back(std::exchange(view_, nullptr));
    if (lane == Lane::Thumbnail)
        jobs.swap(thumbnails_);
    for (Job* job : jobs) {
        job->cancelled = true;
        if (pool_.tryTake(job))
            drop(job);
    }
}

void PictureLoader::settle()
{
    pool_.waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void PictureLoader::drop(Job* job)
{
    if (pending_.value(job->cacheKey) == job)
        pending_.remove(job->cacheKey);
    std::erase(thumbnails_, job);
    if (view_ == job)
        view_ = nullptr;
    delete job;
}

void PictureLoader::finished(Job* job, const DecodedPicture& decoded)
{
    const QString key = job->key;
    const QSize room = job->room;
    const Picture* picture = keep(job->cacheKey, decoded);
    drop(job);
    emit ready(key, room, *picture);
}

const Picture* PictureLoader::keep(const QString& cacheKey, const DecodedPicture& decoded)
{
    Picture picture{QPixmap::fromImage(decoded.image), decoded.own, decoded.problem, decoded.fitted};
    const qint64 kilobytes = std::max<qint64>(1, qint64(picture.pixmap.width()) * picture.pixmap.height() * 4 / 1024);
    // What the cache cannot hold is kept aside for the asker.
    if (kilobytes > cache_.maxCost()) {
        spare_ = std::move(picture);
        return &spare_;
    }
    cache_.insert(cacheKey, new Picture(std::move(picture)), static_cast<qsizetype>(kilobytes));
    return cache_.object(cacheKey);
}

} // namespace bw
