#include "app/qt/OverviewModel.h"

#include <QBrush>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "app/qt/PictureLoader.h"
#include "platform/qt/QtPlatform.h"

namespace bw {

OverviewModel::OverviewModel(EditorSession& form, PictureLoader& pictures, QObject* parent)
    : QAbstractListModel(parent), editor_(form), pictures_(pictures)
{
    connect(&pictures_, &PictureLoader::ready, this, [this](const QString& key, QSize room) {
        if (room == room_)
            thumbnailReady(key);
    });
    notices_ = editor_.subscribe([this](const PageDocument::Notice& notice) { heard(notice); });
    reload();
}

int OverviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(images_.size());
}

int OverviewModel::rowOf(int image) const
{
    const auto at = std::lower_bound(images_.begin(), images_.end(), image);
    return at != images_.end() && *at == image ? static_cast<int>(at - images_.begin()) : -1;
}

void OverviewModel::follow(bool missingOnly)
{
    if (missingOnly != missingOnly_)
        reload();
}

void OverviewModel::reload()
{
    beginResetModel();
    missingOnly_ = editor_.view().missingOnly.Value;
    images_ = editor_.overviewImages();
    shown_ = editor_.shownIndex();
    last_.reset();
    waiting_.clear();
    pictures_.cancel(PictureLoader::Lane::Thumbnail);
    endResetModel();
}

void OverviewModel::heard(const PageDocument::Notice& notice)
{
    using Change = PageDocument::Change;
    last_.reset();
    switch (notice.change) {
    case Change::Opened:
    case Change::PutBack: // every ALT as first read
    case Change::Closed:
        reload();
        return;
    case Change::Written:
        recheck(notice.image); // -1, the page saved as it is: nothing changed
        return;
    case Change::Shown:
        recheck(std::exchange(shown_, notice.image));
        recheck(notice.image);
        return;
    case Change::Cleared: // the page closed on the way told its own
    case Change::Batch: // the page reached comes with its own notices
        return;
    }
}

void OverviewModel::recheck(int image)
{
    if (image < 0)
        return;
    const auto at = std::lower_bound(images_.begin(), images_.end(), image);
    const int row = static_cast<int>(at - images_.begin());
    const bool listed = at != images_.end() && *at == image;
    const bool lists = editor_.overviewLists(image);
    if (listed && lists) {
        emit dataChanged(index(row), index(row));
    } else if (listed) {
        beginRemoveRows({}, row, row);
        images_.erase(at);
        endRemoveRows();
    } else if (lists) {
        beginInsertRows({}, row, row);
        images_.insert(at, image);
        endInsertRows();
    }
}

const EditorSession::OverviewRow& OverviewModel::row(int image) const
{
    if (!last_ || last_->index != image)
        last_ = editor_.overviewRow(image);
    return *last_;
}

const Picture* OverviewModel::thumbnail(int image) const
{
    const std::optional<PictureBox>& picture = editor_.overviewPicture(image);
    if (!picture)
        return nullptr;
    const PictureSource source = PictureSource::of(picture->Picture, picture->Data);
    if (source.empty())
        return nullptr;
    const Picture* known = pictures_.picture(source, room_, PictureLoader::Lane::Thumbnail);
    if (!known) {
        std::vector<int>& rows = waiting_[source.key()];
        if (std::find(rows.begin(), rows.end(), image) == rows.end())
            rows.push_back(image);
    }
    return known;
}

void OverviewModel::thumbnailReady(const QString& key)
{
    for (const int image : waiting_.take(key))
        if (const int at = rowOf(image); at >= 0)
            emit dataChanged(index(at), index(at), {Qt::DecorationRole, Qt::ToolTipRole});
}

QVariant OverviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int image = images_[static_cast<size_t>(index.row())];
    switch (role) {
    case ImageRole:
        return image;
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        const EditorSession::OverviewRow& shown = row(image);
        using State = EditorSession::OverviewRow::State;
        const QString state = shown.state == State::Missing      ? QString("missing")
                              : shown.state == State::Decorative ? QString("decorative")
                                                                 : "\u201C" + fromBytes(shown.alt) + "\u201D";
        QString text = fromBytes(shown.name).simplified() + "\n" + state;
        if (role == Qt::ToolTipRole)
            if (const Picture* picture = thumbnail(image); picture && picture->pixmap.isNull())
                text += "\n" + picture->problem;
        return text;
    }
    case Qt::DecorationRole: {
        // Every row keeps the room of a thumbnail, so that rows are as high as each other.
        const Picture* picture = thumbnail(image);
        if (picture && !picture->pixmap.isNull()) {
            const QPixmap& shown = picture->pixmap;
            if (shown.size() == room_)
                return QIcon(shown);
            // A narrow or low picture sits in the middle of a thumbnail's room, so that every
            // row's name starts at the same place.
            QPixmap framed(room_);
            framed.fill(Qt::transparent);
            QPainter(&framed).drawPixmap((room_.width() - shown.width()) / 2, (room_.height() - shown.height()) / 2, shown);
            return QIcon(framed);
        }
        if (blank_.actualSize(room_) != room_) {
            QPixmap blank(room_);
            blank.fill(Qt::transparent);
            blank_ = QIcon(blank);
        }
        return blank_;
    }
    case Qt::FontRole:
        if (image == editor_.shownIndex()) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ForegroundRole:
        if (row(image).state == EditorSession::OverviewRow::State::Missing)
            return QBrush(link_);
        return {};
    default:
        return {};
    }
}

} // namespace bw
