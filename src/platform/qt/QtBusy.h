#pragma once
// A progress dialog for the FTP component's actions: shown once an action has run a moment,
// with what is being done, the bytes so far and a Cancel button.
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

#include "platform/Busy.h"

namespace bw {

class QtBusy final : public Busy {
public:
    explicit QtBusy(std::chrono::milliseconds showAfter = std::chrono::milliseconds(500));
    ~QtBusy() override;

    // The dialog comes up after the delay, unless the action has ended first.
    void begin(const std::string& what) override;
    // Shows how far the action got; false once Cancel was pressed.
    bool progress(std::uint64_t done, std::uint64_t total) override;
    void end() override;
    // Called at once when the user presses Cancel.
    void whenCancelled(std::function<void()> cancelled) { whenCancelled_ = std::move(cancelled); }

    // The dialog while it is shown, else none.
    QProgressDialog* dialog() const { return dialog_; }
    // How many actions showed the dialog.
    int shown() const { return shown_; }

private:
    void show();
    void describe();

    std::chrono::milliseconds showAfter_;
    QTimer showTimer_;
    std::string what_;
    std::uint64_t done_ = 0, total_ = 0;
    QPointer<QWidget> owner_; // the window the action was asked from
    QPointer<QProgressDialog> dialog_;
    QPointer<QProgressBar> bar_;
    bool cancelled_ = false;
    std::function<void()> whenCancelled_;
    int shown_ = 0;
};

// "12.3 KB", "4.5 MB": bytes as people read them.
std::string byteCount(std::uint64_t bytes);

} // namespace bw
