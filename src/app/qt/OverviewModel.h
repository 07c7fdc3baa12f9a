#pragma once
// The overview's rows over the editor: a row is read when the view draws it, a thumbnail is
// asked for when its row is painted, and a notice about one image changes that row only.
#include <QAbstractListModel>
#include <QColor>
#include <QHash>
#include <QIcon>
#include <optional>
#include <vector>

#include "editor/EditorSession.h"

namespace bw {

class PictureLoader;
struct Picture;

class OverviewModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int ImageRole = Qt::UserRole; // the image a row stands for

    OverviewModel(EditorSession& form, PictureLoader& pictures, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The row of image `image`; -1 when it is not listed.
    int rowOf(int image) const;
    // Lists the page again when "Missing only" was turned.
    void follow(bool missingOnly);
    void setLinkColor(QColor color) { link_ = color; }
    void setThumbnailRoom(QSize room) { room_ = room; }

private:
    void heard(const PageDocument::Notice& notice);
    void reload();
    // An image's ALT, or whether it is shown, changed: its row is redrawn, added or taken out.
    void recheck(int image);
    void thumbnailReady(const QString& key);
    const EditorSession::OverviewRow& row(int image) const;
    const Picture* thumbnail(int image) const;

    EditorSession& editor_;
    PictureLoader& pictures_;
    std::vector<int> images_; // the images listed, in page order
    int shown_ = -1;
    bool missingOnly_ = false;
    QColor link_;
    QSize room_{40, 40};
    mutable QIcon blank_;
    mutable std::optional<EditorSession::OverviewRow> last_; // the row drawn last, read once for all its roles
    mutable QHash<QString, std::vector<int>> waiting_; // images whose thumbnail is being decoded, by picture
    Subscription notices_;
};

} // namespace bw
