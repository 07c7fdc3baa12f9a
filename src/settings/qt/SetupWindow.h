#pragma once
// Draws the "Ftp Setup" window's state and forwards the user's events to its handlers.
#include <QWidget>
#include <string>

#include "platform/qt/QtPlatform.h"
#include "settings/Setup.h"

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

    setup& state() { return setup_; }
    // Redraws every control from the window's state.
    void refresh() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <class Handler> void run(Handler handler);
    void rowClicked(int row);

    setup setup_;
    bool updating_ = false;
    QLineEdit* texts_[6] = {};
    QComboBox* combo1_ = nullptr;
    QCheckBox* check1_ = nullptr;
    QLabel* label8_ = nullptr;
    QListWidget* list1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
};

} // namespace bw
