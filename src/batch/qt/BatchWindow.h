#pragma once
// Draws the local batch window's state and forwards the user's events to its handlers.
#include <QWidget>

#include "batch/LocalBatch.h"
#include "platform/qt/QtPlatform.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace bw {

class BatchWindow : public QWidget, public StateView {
    Q_OBJECT
public:
    // main: the main window, which "OK" fills and whose boxes then speak.
    BatchWindow(Platform platform, BatchSession& session, QWidget* main);

    LocalBatch& state() { return batch_; }
    void refresh() override;

protected:
    // Delete removes the row selected; Ctrl or Alt with Up or Down moves it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <class Handler> void run(Handler handler);
    // The window is made in these steps: its controls, in the order Tab visits them, the
    // layouts that place them, and what each control does.
    void createControls();
    void layOutControls();
    void connectControls();
    // A button that runs `handler` when pressed.
    QPushButton* button(const Button& state, const char* name, void (LocalBatch::*handler)());

    LocalBatch batch_;
    QWidget* main_;
    bool updating_ = false;
    QLabel* pagesLabel_ = nullptr;
    QListWidget* pageList_ = nullptr;
    QPushButton *addFilesButton_ = nullptr, *addFolderButton_ = nullptr, *removeButton_ = nullptr, *upButton_ = nullptr,
                *downButton_ = nullptr, *okButton_ = nullptr, *cancelButton_ = nullptr;
    QCheckBox* missingAltOnly_ = nullptr;
};

} // namespace bw
