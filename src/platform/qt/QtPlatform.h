#pragma once
// The real dialogs and desktop opener, on Qt.
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

class QtDialogs final : public Dialogs {
public:
    Answer msgBox(const std::string& text, Buttons buttons, const std::string& title) override;
    void showOpen(FileDialog& dialog) override;
    void showSave(FileDialog& dialog) override;
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& defaultAnswer) override;

private:
    void show(FileDialog& dialog, bool save);
};

class QtShell final : public Shell {
public:
    void open(const std::string& target) override;
};

} // namespace bw
