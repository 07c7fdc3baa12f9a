#pragma once
// Draws the FTP window's state and forwards the user's events to its handlers.
#include <QWidget>

#include "ftp/FtpBrowser.h"
#include "platform/qt/QtPlatform.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenuBar;
class QPushButton;

namespace bw {

class FtpWindow : public QWidget, public StateView, public FtpHostList {
    Q_OBJECT
public:
    // main: the main window, which "Start Batching" fills and whose boxes then speak.
    FtpWindow(Platform platform, BatchSession& batch, RoundTrip& trip, std::string tempPath, QWidget* main);

    FtpBrowser& state() { return ftp_; }
    void refresh() override;
    // The "Ftp Setup" window's Back.
    void refillHosts(const std::vector<std::string>& hosts) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <class Handler> void run(Handler handler);
    // The window is made in these steps: its menu, its controls in the order Tab visits them,
    // the layouts that place them, and what each control does.
    void createMenus();
    void createControls();
    void layOutControls();
    void connectControls();
    void rowClicked(ListBox& list, int row);
    void startBatching();

    FtpBrowser ftp_;
    QWidget* main_;
    bool running_ = false;  // a handler of this window is on the stack
    bool updating_ = false; // the view is being redrawn: its signals are not the user's
    QMenuBar* menu_ = nullptr;
    QComboBox* hostBox_ = nullptr;
    QLabel* captions_[7] = {}; // Label1 to Label7: the boxes' captions, then the lists'.
    QLineEdit *userBox_ = nullptr, *passwordBox_ = nullptr, *tempPathBox_ = nullptr;
    QListWidget *batchFiles_ = nullptr, *folders_ = nullptr, *files_ = nullptr;
    QLabel *connectingOverFolders_ = nullptr, *connectingOverBatch_ = nullptr, *connectingOverFiles_ = nullptr;
    QPushButton *connectButton_ = nullptr, *parentButton_ = nullptr, *disconnectButton_ = nullptr, *batchButton_ = nullptr,
                *exitButton_ = nullptr, *uploadButton_ = nullptr, *changesButton_ = nullptr;
};

} // namespace bw
