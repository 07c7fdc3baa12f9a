#pragma once
// Draws the local batch window's state and forwards the user's events to its handlers.
#include <QWidget>

#include "batch/Form3.h"
#include "platform/qt/QtPlatform.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace bw {

class BatchWindow : public QWidget, public StateView {
    Q_OBJECT
public:
    // main: the main window, which "OK" fills and whose boxes then speak.
    BatchWindow(Platform platform, Form1& form, QWidget* main);

    form3& state() { return form3_; }
    void refresh() override;

private:
    template <class Handler> void run(Handler handler);

    form3 form3_;
    QWidget* main_;
    QLabel* label1_ = nullptr;
    QListWidget* list1_ = nullptr;
    QPushButton *command1_ = nullptr, *ok_ = nullptr, *cancel_ = nullptr;
};

} // namespace bw
