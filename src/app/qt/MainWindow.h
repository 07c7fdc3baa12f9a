#pragma once
// Draws the editor's and the batch's state and forwards the user's events to their commands.
#include <QMainWindow>
#include <QSize>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "batch/BatchSession.h"
#include "editor/EditorSession.h"
#include "platform/qt/Handlers.h"
#include "platform/qt/QtPlatform.h"

class QAction;
class QCheckBox;
class QGridLayout;
class QListView;
class QTimer;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolBar;

namespace bw {

class SettingsStore;
class OverviewModel;
class PictureLoader;
struct Picture;

class MainWindow : public QMainWindow, public StateView {
    Q_OBJECT
public:
    MainWindow(EditorSession& editor, BatchSession& batch, QWidget* parent = nullptr);

    // Redraws every control from the window's state.
    void refresh() override;
    // Runs one of the window's handlers; the boxes it shows belong to this window. Refused
    // while another handler of the program runs.
    template <class Handler> void run(Handler handler) { handlers::runFor(this, handler); }
    void focusControl(std::string_view control);
    // Set when the program ends at once: closing then skips the page write-back.
    void setEnding(bool ending) { ending_ = ending; }
    // The window's place is kept in `store` when it closes; restorePlace() takes it back,
    // wholly on a screen.
    void keepPlaceIn(SettingsStore* store) { places_ = store; }
    void restorePlace();

    static constexpr int kClientWidth = 8130 / 15;
    static constexpr int kClientHeight = 4155 / 15;
    // The widest text the image counter must hold whole.
    static constexpr const char* kWidestCounter = "Image 1234 of 12345";

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window is made in these steps, in this order: its actions, its menus, the controls
    // of the client area (the toolbar first, then each in the order Tab visits them), the
    // layouts that place them, and what each control does.
    void createActions();
    void createMenus();
    void createControls();
    void createToolBar();
    void layOutControls();
    void connectControls();
    QAction* menuAction(const MenuItem& item, const char* name, std::function<void()> command);
    void showPicture();
    // Asks for the picture in view at the size of `room`; it is shown once decoded.
    void decodePicture(QSize room);
    void showDecoded(const Picture& picture);
    // Fits the columns to the captions and lays the client area out at once, so that the
    // image name fits the room it has now.
    void fitCaptions();
    void savePlace();
    void buildOverview();
    // Follows the filter and the image shown; the rows follow the editor's notices.
    void refreshOverview();
    void showHints();
    QString contextText() const;

    EditorSession& editor_;
    BatchSession& batch_;
    bool ending_ = false;
    bool updating_ = false;
    bool refreshPending_ = false;

    QWidget* central_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QGridLayout* columns_ = nullptr; // the image view's column and the ALT box's
    QPlainTextEdit* text1_ = nullptr;
    QLineEdit* text4_ = nullptr;
    QLabel* picture1_ = nullptr;
    QLabel *label1_ = nullptr, *label2_ = nullptr, *label3_ = nullptr, *label4_ = nullptr, *label5_ = nullptr;
    std::map<const Button*, QPushButton*> buttons_;
    std::map<const MenuItem*, QAction*> actions_;
    QMenu* helpMenu_ = nullptr;
    // What the view last decoded, so a refresh with nothing new does not decode again.
    bool pictureDecoded_ = false;
    std::string shownPicture_, shownData_, shownNote_;
    QSize shownRoom_;
    QSize pictureSize_; // the decoded picture's own size; invalid when none was decoded
    // The image whose ALT the box shows: a new one gets its ALT selected.
    std::pair<std::string, int> shownImage_{{}, -1};
    QAction* preview_ = nullptr;
    QPushButton* keep_ = nullptr;
    SettingsStore* places_ = nullptr;
    QCheckBox *decorative_ = nullptr, *missingOnly_ = nullptr;
    QLabel *hint_ = nullptr, *length_ = nullptr;
    QListView* overview_ = nullptr;
    OverviewModel* overviewModel_ = nullptr;
    PictureLoader* pictures_ = nullptr;
    QString viewKey_; // the picture the view waits for, and at what size
    QSize viewRoom_;
    QLabel* context_ = nullptr;
    QLabel* indexing_ = nullptr;
    QLabel* siteFolder_ = nullptr; // the folder the site is read from
    QTimer* indexTimer_ = nullptr; // asks the window how the site index gets on, while it is built
    Subscription notices_, batchNotices_; // last: they end before the controls they redraw go
};

} // namespace bw
