#pragma once
// The real dialogs and desktop opener, on Qt.
#include <QAccessible>
#include <QComboBox>
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

// Puts a window wholly on the screen that holds `main`: beside it when there is room on
// either side, else over it.
void placeBeside(QWidget* window, const QWidget* main);

// A window made from a plain QWidget is announced to screen readers as a window of this role
// (Qt's own says "filler"); its name is its title.
void announceAs(QWidget* window, QAccessible::Role role);
// A combo box that screen readers name by its accessible name (its label); Qt's
// own names it by the text in it.
class LabelledComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
};

class QtDialogs final : public Dialogs {
public:
    Answer msgBox(const std::string& text, Buttons buttons, const std::string& title,
                  Answer defaultAnswer = Answer::Yes) override;
    int choose(const std::string& text, const std::string& title, const std::vector<std::string>& choices,
               int defaultChoice, int cancelChoice) override;
    void showText(const std::string& text, const std::string& title) override;
    bool confirmList(const std::string& text, const std::string& list, const std::string& title) override;
    bool showOpen(FileDialog& dialog) override;
    bool showSave(FileDialog& dialog) override;
    std::vector<std::string> showOpenMany(FileDialog& dialog) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title, const std::string& initial,
                                        bool masked = false) override;

private:
    bool show(FileDialog& dialog, bool save);
};

// Opens through the desktop; when nothing could be started, says so in a box.
class QtShell final : public Shell {
public:
    explicit QtShell(Dialogs& dialogs) : dialogs_(dialogs) {}
    void open(const std::string& target) override;

private:
    Dialogs& dialogs_;
};

} // namespace bw
