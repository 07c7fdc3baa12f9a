#pragma once
// Real message boxes for the GUI tests: shown by the Qt dialogs, answered by the test.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "platform/qt/QtPlatform.h"
#include "support/Doubles.h"

namespace bw::test {

// Real message boxes, answered by the test as they appear; file dialogs stay scripted.
struct RealBoxes : Dialogs {
    QtDialogs real;
    ScriptedDialogs scripted;
    Answer msgBox(const std::string& text, Buttons buttons, const std::string& title, Answer defaultAnswer) override
    {
        return real.msgBox(text, buttons, title, defaultAnswer);
    }
    int choose(const std::string& text, const std::string& title, const std::vector<std::string>& choices,
               int defaultChoice, int cancelChoice) override
    {
        return real.choose(text, title, choices, defaultChoice, cancelChoice);
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title, const std::string& initial,
                                        bool masked) override
    {
        return scripted.inputBox(prompt, title, initial, masked);
    }
    bool showOpen(FileDialog& d) override { return scripted.showOpen(d); }
    bool showSave(FileDialog& d) override { return scripted.showSave(d); }
    std::vector<std::string> showOpenMany(FileDialog& d) override { return scripted.showOpenMany(d); }
};

// Each message box, as it appears, is handed to `look` and then answered Yes or OK.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::function<bool(QMessageBox&)> look) : look_(std::move(look))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || !look_(*box))
                return; // not yet
            ++answered;
            QAbstractButton* button = box->button(QMessageBox::Yes);
            (button ? button : box->button(QMessageBox::Ok))->click();
        });
        timer_.start(5);
    }
    int answered = 0;

private:
    std::function<bool(QMessageBox&)> look_;
    QTimer timer_;
};

} // namespace bw::test
