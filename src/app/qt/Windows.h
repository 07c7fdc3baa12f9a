#pragma once
// The splash and about windows, and the owner of every window of the program.
#include <QDialog>
#include <QStringList>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/Splash.h"
#include "app/qt/MainWindow.h"
#include "batch/qt/BatchWindow.h"
#include "batch/BatchSession.h"
#include "editor/EditorSession.h"
#include "ftp/qt/FtpWindow.h"
#include "platform/Host.h"
#include "platform/Platform.h"
#include "platform/qt/Handlers.h"
#include "platform/qt/QtBusy.h"
#include "platform/qt/QtTransfers.h"
#include "settings/qt/SetupWindow.h"

namespace bw {

class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(const SplashState& splash, QWidget* parent = nullptr);
};

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    AboutWindow(Shell& shell, QWidget* parent = nullptr);
    AboutState& state() { return about_; }

private:
    AboutState about_;
};

// The program's names for Qt, set once before any window is made.
void nameProgram();

class App final : public QObject, public Host {
    Q_OBJECT
public:
    // ftpTempPath: the temp path boxes' first text, a folder that exists, ending in "/".
    // ftp: the FTP component the FTP window works through; none: that window cannot open.
    // secrets: the desktop keyring the passwords go to; without one, the settings store.
    App(Dialogs& dialogs, FileSystem& files, Shell& shell, SettingsStore& settings, Version version,
        std::string ftpTempPath, FtpClient* ftp = nullptr, SecretStore& secrets = noSecrets());
    ~App() override;

    EditorSession& editor() { return editor_; }
    BatchSession& batch() { return batchSession_; }
    MainWindow& window() { return *window_; }
    AboutWindow* about() const { return about_; }
    bool splashLoaded() const { return !splash_.isNull(); }
    SetupWindow* setupWindow() const { return setup_; }
    BatchWindow* batchWindow() const { return batch_; }
    FtpWindow* ftpWindow() const { return ftp_; }
    QtBusy& ftpBusy() { return ftpBusy_; }
    // The pages the FTP window downloaded; none without an FTP component.
    RoundTrip* ftpPages() const { return ftpPages_.get(); }
    const std::string& ftpTempPath() const { return ftpTempPath_; }

    // Opens the "Ftp Setup" window beside the others; ftp: the FTP window whose host list
    // its Back refills, or none.
    void showSetup(FtpHostList* ftp);

    // Shows the main window and opens the page named on the command line, if any.
    void start(const QStringList& pages);

    void setFocus(std::string_view control) override;
    void endProgram() override;
    void showAbout() override;
    void showLocalBatch() override;
    void unloadLocalBatch() override;
    void showFtp() override;
    void loadSplash() override;

private:
    void placeBeside(QWidget* window);
    static void bringUp(QWidget* window);

    Shell& shell_;
    Version version_;
    HandlerSecrets secrets_; // the keyring's answers come between handlers
    Platform platform_;
    std::string ftpTempPath_;
    EditorSession editor_;
    BatchSession batchSession_;
    std::unique_ptr<MainWindow> window_;
    QPointer<SplashWindow> splash_;
    QPointer<AboutWindow> about_;
    QPointer<SetupWindow> setup_;
    QPointer<BatchWindow> batch_;
    FtpClient* ftpClient_;
    QtBusy ftpBusy_;
    std::unique_ptr<QtTransfers> ftpTransfers_; // the FTP component's actions, on a thread of their own
    std::unique_ptr<RoundTrip> ftpPages_; // outlives the FTP window: the main window uploads too
    QPointer<FtpWindow> ftp_;
    // What the "Ftp Setup" window refills: the FTP window while it is open. It may close
    // before the setup window does.
    struct FtpHosts final : FtpHostList {
        QPointer<FtpWindow> window;
        void refillHosts(const std::vector<std::string>& hosts) override
        {
            if (window)
                window->refillHosts(hosts);
        }
    } ftpHosts_;
};

} // namespace bw
