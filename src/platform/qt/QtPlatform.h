#pragma once
// The real dialogs and desktop opener, on Qt.
#include <QPointer>
#include <QString>
#include <QStringList>
#include <string>

#include "platform/Dialogs.h"
#include "platform/Shell.h"

class QWidget;

namespace bw {

// Page bytes to screen text: UTF-8 when valid, else Latin-1, so nothing is shown as garbage.
QString fromBytes(const std::string& bytes);
std::string toBytes(const QString& text);
QString fromPath(const std::string& path);
std::string toPath(const QString& path);

// "desc|pattern|desc|pattern" to Qt's name filters.
QStringList nameFilters(const std::string& filter);

// A title as the window system must show it: Qt would take "[*]" for its modified mark.
QString titleText(const std::string& title);

// A window that draws a core window's state. Message boxes redraw every open one first,
// so that a box never speaks of a change the window does not show yet.
class StateView {
public:
    virtual ~StateView() = default;
    virtual void refresh() = 0;
};

// While one lives, message boxes and file dialogs belong to `window`: they are its
// children, centred over it and kept above it.
class SpeakingFor {
public:
    explicit SpeakingFor(QWidget* window);
    ~SpeakingFor();
    SpeakingFor(const SpeakingFor&) = delete;
    SpeakingFor& operator=(const SpeakingFor&) = delete;

private:
    QPointer<QWidget> previous_;
};

// The window a box shown now belongs to.
QWidget* dialogOwner();

// Redraws every open window from its state (after one window's handler changed another's).
void redrawViews();

class QtDialogs final : public Dialogs {
public:
    Answer msgBox(const std::string& text, Buttons buttons, const std::string& title,
                  Answer defaultAnswer = Answer::Yes) override;
    int choose(const std::string& text, const std::string& title, const std::vector<std::string>& choices,
               int defaultChoice, int cancelChoice) override;
    void showOpen(FileDialog& dialog) override;
    void showSave(FileDialog& dialog) override;
    std::vector<std::string> showOpenMany(FileDialog& dialog) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title, const std::string& initial,
                                        bool masked = false) override;

private:
    void show(FileDialog& dialog, bool save);
};

class QtShell final : public Shell {
public:
    void open(const std::string& target) override;
};

} // namespace bw
