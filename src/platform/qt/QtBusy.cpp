#include "platform/qt/QtBusy.h"

#include <QApplication>
#include <QProgressDialog>
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

QtBusy::~QtBusy() { delete dialog_.data(); }

void QtBusy::begin(const std::string& what)
{
    what_ = what;
    running_ = true;
    cancelled_ = false;
    clock_.start();
}

bool QtBusy::progress(std::uint64_t done, std::uint64_t total)
{
    if (!running_)
        return true;
    if (!dialog_ && !cancelled_ && clock_.elapsed() >= showAfter_.count()) {
        dialog_ = new QProgressDialog(dialogOwner());
        dialog_->setObjectName("FtpProgress");
        dialog_->setWindowTitle("BRINDLEWORK");
        dialog_->setCancelButtonText("Cancel");
        // Nothing else may be clicked while the action runs: the window's logic waits for it.
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        dialog_->setRange(0, 0);
        dialog_->setMinimumWidth(340);
        QObject::connect(dialog_, &QProgressDialog::canceled, [this] { cancelled_ = true; });
        dialog_->show();
        ++shown_;
    }
    if (dialog_) {
        std::string text = what_ + "\n";
        if (total > 0) {
            text += byteCount(done) + " of " + byteCount(total);
            dialog_->setRange(0, 1000);
            dialog_->setValue(static_cast<int>(done >= total ? 1000 : done * 1000 / total));
        } else {
            text += done > 0 ? byteCount(done) + " so far" : std::string("Waiting for the server");
        }
        dialog_->setLabelText(fromBytes(text));
    }
    // Until the dialog shows, the user's clicks wait: the window is in the middle of a handler.
    // What else comes meanwhile (a timer, the accessibility bus's presses, which modality does
    // not stop) finds a handler running and is refused; keyring answers wait for its end.
    QApplication::processEvents(dialog_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    if (dialog_ && dialog_->wasCanceled())
        cancelled_ = true;
    return !cancelled_;
}

void QtBusy::end()
{
    running_ = false;
    delete dialog_.data();
}

} // namespace bw
