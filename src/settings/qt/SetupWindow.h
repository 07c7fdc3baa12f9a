#pragma once
// Draws the "Ftp Setup" window's state and forwards the user's events to its handlers.
#include <QWidget>
#include <string>

#include "platform/qt/QtPlatform.h"
#include "settings/HostSetup.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace bw {

class SetupWindow : public QWidget, public StateView {
    Q_OBJECT
public:
    SetupWindow(Platform platform, std::string tempPath, FtpHostList* ftp, QWidget* parent = nullptr);

    HostSetup& state() { return setup_; }
    // Redraws every control from the window's state.
    void refresh() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <class Handler> void run(Handler handler);
    // The window is made in these steps: its controls, in the order Tab visits them, the
    // layouts that place them, and what each control does.
    void createControls();
    void layOutControls();
    void connectControls();
    void rowClicked(int row);

    HostSetup setup_;
    bool updating_ = false;
    QLineEdit* texts_[6] = {};
    QLabel* captions_[7] = {}; // by row: the boxes' and the protocol list's captions
    QComboBox* protocols_ = nullptr;
    QCheckBox* keepBackupBox_ = nullptr;
    QLabel* keyringNote_ = nullptr;
    QListWidget* hosts_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QPushButton* browseButton_ = nullptr;
};

} // namespace bw
