#pragma once
// A progress dialog for the actions that block the window: shown once an action has run
// a moment, with what is being done, the bytes so far and a Cancel button.
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <chrono>
#include <string>

#include "platform/Busy.h"


namespace bw {

class QtBusy final : public Busy {
public:
    explicit QtBusy(std::chrono::milliseconds showAfter = std::chrono::milliseconds(500)) : showAfter_(showAfter) {}
    ~QtBusy() override;

    void begin(const std::string& what) override;
    bool progress(std::uint64_t done, std::uint64_t total) override;
    void end() override;

    // The dialog while it is shown, else none.
    QProgressDialog* dialog() const { return dialog_; }
    // How many actions showed the dialog.
    int shown() const { return shown_; }

private:
    std::chrono::milliseconds showAfter_;
    QElapsedTimer clock_;
    std::string what_;
    QPointer<QProgressDialog> dialog_;
    bool running_ = false;
    bool cancelled_ = false;
    int shown_ = 0;
};

// "12.3 KB", "4.5 MB": bytes as people read them.
std::string byteCount(std::uint64_t bytes);

} // namespace bw
