#include "app/qt/Windows.h"

#include "platform/PictureReader.h"

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "Version.h"
#include "platform/qt/QtPlatform.h"

// Icons live in a static library, so their registration must be pulled in by hand.
static void initResources() { Q_INIT_RESOURCE(resources); }

namespace bw {

SplashWindow::SplashWindow(const SplashState& splash, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName("frmSplash");
    auto* frame = new QFrame(this);
    frame->setObjectName("Frame1");
    frame->setFrameShape(QFrame::Box);
    frame->setFixedSize(5025 / 15, 2970 / 15);
    auto* inner = new QVBoxLayout(frame);
    auto* logo = new QLabel(frame);
    logo->setObjectName("imgLogo");
    logo->setPixmap(QPixmap(":/icons/logo.png"));
    logo->setAlignment(Qt::AlignCenter);
    auto* product = new QLabel(QString::fromStdString(splash.productName.Caption), frame);
    product->setObjectName("lblProductName");
    product->setFont(QFont("Arial", 20, QFont::Bold));
    product->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(QString::fromStdString(splash.version.Caption), frame);
    version->setObjectName("lblVersion");
    version->setFont(QFont("Arial", 10));
    version->setAlignment(Qt::AlignCenter);
    inner->addWidget(logo);
    inner->addWidget(product);
    inner->addWidget(version);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame);
}

AboutWindow::AboutWindow(Shell& shell, QWidget* parent) : QDialog(parent), about_(shell)
{
    setObjectName("frmAbout");
    setWindowTitle(QString::fromStdString(about_.windowTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* icon = new QLabel(this);
    icon->setObjectName("picIcon");
    icon->setPixmap(QPixmap(":/icons/logo.png"));
    icon->setAccessibleName("BRINDLEWORK icon");
    auto add = [this](const char* name, const Label& state, const char* role) {
        auto* label = new QLabel(QString::fromStdString(state.Caption), this);
        label->setObjectName(name);
        label->setAccessibleDescription(role);
        return label;
    };
    auto* title = add("lblTitle", about_.title, "Title");
    title->setFont(QFont(title->font().family(), 14, QFont::Bold));
    auto* year = add("lblVersion", about_.version, "Year and maker");
    auto* description = add("lblDescription", about_.credits, "Credits and contact");
    description->setText(QString::fromStdString(about_.credits.Caption).replace("\r\n", "\n"));
    auto* sales = add("Label2", about_.sales, "Sales");
    QString home = QString::fromStdString(about_.homePage.Caption);
    auto* link = new QLabel(QString("<a href=\"%1\" style=\"color:blue; text-decoration:underline\">%1</a>").arg(home.toHtmlEscaped()), this);
    link->setObjectName("Label1");
    link->setToolTip(home);
    link->setAccessibleDescription("Link to the home page");
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(link, &QLabel::linkActivated, this, [this] { about_.openHomePage(); });
    auto* line1 = new QFrame(this);
    line1->setObjectName("Line1");
    line1->setFrameShape(QFrame::HLine);
    auto* line2 = new QFrame(this);
    line2->setObjectName("Line1_2");
    line2->setFrameShape(QFrame::HLine);
    auto* ok = new QPushButton(QString::fromStdString(about_.okButton.Caption), this);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    head->addWidget(icon);
    auto* titles = new QVBoxLayout;
    titles->addWidget(title);
    titles->addWidget(year);
    head->addLayout(titles, 1);
    layout->addLayout(head);
    layout->addWidget(line1);
    layout->addWidget(description);
    layout->addWidget(sales);
    layout->addWidget(link);
    layout->addWidget(line2);
    layout->addWidget(ok, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void nameProgram()
{
    QCoreApplication::setApplicationName("brindlework");
    QCoreApplication::setApplicationVersion(BW_VERSION_STRING);
    // No display name: Qt would append it to every title the window system gets.
    QGuiApplication::setDesktopFileName("brindlework");
}

App::App(Dialogs& dialogs, FileSystem& files, Shell& shell, SettingsStore& settings, Version version,
         std::string ftpTempPath, FtpClient* ftp, SecretStore& secrets)
    : shell_(shell), version_(version), secrets_(secrets), platform_{dialogs, files, shell, *this, settings, secrets_},
      ftpTempPath_(std::move(ftpTempPath)), editor_(platform_, version), batchSession_(platform_, editor_), ftpClient_(ftp)
{
    initResources();
    if (ftpClient_) {
        ftpTransfers_ = std::make_unique<QtTransfers>(*ftpClient_, ftpBusy_);
        ftpPages_ = std::make_unique<RoundTrip>(platform_, *ftpTransfers_);
    }
    editor_.load();
    editor_.readPicturesWith(makePictureReader); // unavailable ones offer nothing, silently
    window_ = std::make_unique<MainWindow>(editor_, batchSession_);
    window_->keepPlaceIn(&settings);
}

App::~App()
{
    delete ftp_.data();
    delete setup_.data();
    delete batch_.data();
    delete about_.data();
    delete splash_.data();
}

void App::start(const QStringList& pages)
{
    window_->restorePlace();
    window_->show();
    if (pages.isEmpty())
        return;
    const std::string page = toPath(QDir::cleanPath(QFileInfo(pages.constFirst()).absoluteFilePath()));
    window_->run([&] { editor_.openPath(page); });
}

void App::setFocus(std::string_view control) { window_->focusControl(control); }

void App::endProgram()
{
    window_->setEnding(true);
    if (about_)
        about_->close();
    if (setup_)
        setup_->close();
    if (batch_)
        batch_->close();
    if (ftp_)
        ftp_->close();
    window_->close();
    QApplication::quit();
}

void App::showAbout()
{
    if (!about_) {
        about_ = new AboutWindow(shell_, window_.get());
        about_->setWindowFlag(Qt::Window);
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void App::showSetup(FtpHostList* ftp)
{
    if (!setup_) {
        setup_ = new SetupWindow(platform_, ftpTempPath_, ftp, window_.get());
        setup_->setAttribute(Qt::WA_DeleteOnClose);
        placeBeside(setup_);
    }
    bringUp(setup_);
}

void App::placeBeside(QWidget* window) { bw::placeBeside(window, window_.get()); }

void App::bringUp(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void App::showLocalBatch()
{
    if (!batch_) {
        batch_ = new BatchWindow(platform_, batchSession_, window_.get());
        batch_->setAttribute(Qt::WA_DeleteOnClose);
        placeBeside(batch_);
    }
    bringUp(batch_);
}

void App::showFtp()
{
    if (!ftpClient_) {
        // Asked from the main window's handler, so the box is part of it.
        SpeakingFor speaking(window_.get());
        platform_.dialogs.msgBox("This build has no FTP component.", Buttons::Ok, kTitle);
        return;
    }
    if (!ftp_) {
        ftp_ = new FtpWindow(platform_, batchSession_, *ftpPages_, ftpTempPath_, window_.get());
        ftp_->setAttribute(Qt::WA_DeleteOnClose);
        ftp_->state().showSetupWindow = [this] { showSetup(&ftpHosts_); };
        ftpHosts_.window = ftp_;
        placeBeside(ftp_);
    }
    bringUp(ftp_);
}

void App::unloadLocalBatch()
{
    if (batch_)
        batch_->close();
}

void App::loadSplash()
{
    SplashState state(version_);
    splash_ = new SplashWindow(state);
    // Loaded but never shown; after its time it brings the main window forward and goes.
    // An open box, or a window the user opened meanwhile, stays on top: raising the main
    // window now would hide it.
    QTimer::singleShot(SplashState::kShownFor, splash_, [this] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        const bool another = std::any_of(windows.begin(), windows.end(), [this](const QWidget* other) {
            return other != window_.get() && other != splash_ && other->isVisible() &&
                   (other->windowType() == Qt::Window || other->windowType() == Qt::Dialog);
        });
        if (window_ && !another && !QApplication::activeModalWidget()) {
            window_->raise();
            window_->activateWindow();
        }
        splash_->deleteLater();
    });
}

} // namespace bw
