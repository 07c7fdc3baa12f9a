#pragma once
// Draws Form1's state and forwards the user's events to its handlers.
#include <QMainWindow>
#include <QSize>
#include <map>
#include <string>

#include "editor/Form1.h"
#include "platform/qt/QtPlatform.h"

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolBar;

namespace bw {

class MainWindow : public QMainWindow, public StateView {
    Q_OBJECT
public:
    explicit MainWindow(Form1& form, QWidget* parent = nullptr);

    // Redraws every control from the window's state.
    void refresh() override;
    // Runs one of the window's handlers; the boxes it shows belong to this window.
    template <class Handler> void run(Handler handler)
    {
        SpeakingFor speaking(this);
        handler();
        refresh();
    }
    void focusControl(std::string_view control);
    // Set when the program ends at once: closing then skips the page write-back.
    void setEnding(bool ending) { ending_ = ending; }

    static constexpr int kClientWidth = 8130 / 15;
    static constexpr int kClientHeight = 4155 / 15;
    // The widest text the image counter must hold whole.
    static constexpr const char* kWidestCounter = "Image 1234 of 12345";

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* menuAction(QMenu* menu, MenuItem& item, const char* name, void (Form1::*handler)());
    void buildToolbar();
    void showPicture();
    void decodePicture(QSize room);

    Form1& form_;
    bool ending_ = false;
    bool updating_ = false;
    bool refreshPending_ = false;

    QWidget* central_ = nullptr;
    QToolBar* toolbar_ = nullptr;
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
};

} // namespace bw
