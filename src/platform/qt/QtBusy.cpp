#include "platform/qt/QtBusy.h"

#include <cstdio>

#include "platform/qt/QtPlatform.h"

namespace bw {

std::string byteCount(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " bytes";
    char buf[32];
    const double kb = static_cast<double>(bytes) / 1024.0;
    if (kb < 1024.0)
        std::snprintf(buf, sizeof buf, "%.1f KB", kb);
    else
        std::snprintf(buf, sizeof buf, "%.1f MB", kb / 1024.0);
    return buf;
}

QtBusy::QtBusy(std::chrono::milliseconds showAfter) : showAfter_(showAfter)
{
    showTimer_.setSingleShot(true);
    QObject::connect(&showTimer_, &QTimer::timeout, [this] { show(); });
}

QtBusy::~QtBusy() { delete dialog_.data(); }

void QtBusy::begin(const std::string& what)
{
    what_ = what;
    done_ = total_ = 0;
    cancelled_ = false;
    owner_ = dialogOwner();
    showTimer_.start(showAfter_);
}

void QtBusy::show()
{
    dialog_ = new QProgressDialog(owner_);
    dialog_->setObjectName("FtpProgress");
    dialog_->setWindowTitle("BRINDLEWORK");
    dialog_->setCancelButtonText("Cancel");
    // Nothing else may be clicked while the action runs: the window's logic waits for it.
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    // A bar of our own, set directly: the dialog's setValue runs the event loop when modal.
    bar_ = new QProgressBar(dialog_);
    dialog_->setBar(bar_);
    bar_->setRange(0, 0);
    dialog_->setMinimumWidth(340);
    QObject::connect(dialog_, &QProgressDialog::canceled, [this] {
        cancelled_ = true;
        if (whenCancelled_)
            whenCancelled_();
    });
    describe();
    dialog_->show();
    ++shown_;
}

void QtBusy::describe()
{
    std::string text = what_ + "\n";
    if (total_ > 0) {
        text += byteCount(done_) + " of " + byteCount(total_);
        bar_->setRange(0, 1000);
        bar_->setValue(static_cast<int>(done_ >= total_ ? 1000 : done_ * 1000 / total_));
    } else {
        text += done_ > 0 ? byteCount(done_) + " so far" : std::string("Waiting for the server");
    }
    dialog_->setLabelText(fromBytes(text));
}

bool QtBusy::progress(std::uint64_t done, std::uint64_t total)
{
    done_ = done;
    total_ = total;
    if (dialog_)
        describe();
    return !cancelled_;
}

void QtBusy::end()
{
    showTimer_.stop();
    delete dialog_.data();
}

} // namespace bw
