#include "ftp/qt/FtpWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "platform/qt/Handlers.h"

namespace bw {

template <class Handler> void FtpWindow::run(Handler handler)
{
    // While a handler runs the window refuses to close (a box of its own may be open), so the
    // handler's own Exit closes it once the handler is over.
    QPointer<FtpWindow> self(this);
    bool closing = false;
    const bool ran = handlers::runAlone([&] {
        running_ = true;
        std::function<void()> unload = std::exchange(ftp_.closeWindow, [&closing] { closing = true; });
        SpeakingFor speaking(this);
        handler();
        if (self)
            ftp_.closeWindow = std::move(unload);
    });
    if (!ran || !self)
        return;
    running_ = false;
    refresh();
    if (closing)
        close();
}

namespace {

QLabel* caption(const Label& label, const char* name, const char* role, QWidget* parent)
{
    auto* l = new QLabel(QString::fromStdString(label.Caption), parent);
    l->setObjectName(name);
    l->setAccessibleDescription(role);
    return l;
}

QListWidget* list(const char* name, const Label& label, const char* role, QWidget* parent)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(name);
    l->setAccessibleName(QString::fromStdString(label.Caption));
    l->setAccessibleDescription(role);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setMinimumSize(190, 220);
    // Qt's wider default would push the window past an 800 pixel wide screen.
    l->setMaximumWidth(240);
    return l;
}

// "Connecting", laid over a list while Connect runs.
QLabel* indicator(const TextBox& box, const char* name, QListWidget* over)
{
    auto* l = new QLabel(fromBytes(box.Text()), over);
    l->setObjectName(name);
    l->setAccessibleName(fromBytes(box.Text()));
    l->setAccessibleDescription("Shown while the window connects to the server");
    l->setAutoFillBackground(true);
    l->setFrameShape(QFrame::Box);
    l->setMargin(4);
    l->move(6, 6);
    l->adjustSize();
    return l;
}

bool sameItems(QListWidget* view, const std::vector<std::string>& items)
{
    if (view->count() != static_cast<int>(items.size()))
        return false;
    for (int i = 0; i < view->count(); ++i)
        if (toBytes(view->item(i)->text()) != items[static_cast<size_t>(i)])
            return false;
    return true;
}

void fill(QListWidget* view, const ListBox& box)
{
    if (!sameItems(view, box.items())) {
        view->clear();
        for (const std::string& item : box.items())
            view->addItem(fromBytes(item));
    }
    view->setCurrentRow(box.ListIndex());
    if (box.ListIndex() < 0)
        view->clearSelection();
}

} // namespace

FtpWindow::FtpWindow(Platform platform, BatchSession& batch, RoundTrip& trip, std::string tempPath, QWidget* main)
    : QWidget(main, Qt::Window), ftp_(platform, batch, trip, std::move(tempPath)), main_(main)
{
    setObjectName("ftp");
    announceAs(this, QAccessible::Window);
    setWindowTitle(titleText(ftp_.title));
    ftp_.closeWindow = [this] { close(); };
    createMenus();
    createControls();
    layOutControls();
    connectControls();
    ftp_.load();
    refresh();
}

void FtpWindow::createMenus()
{
    menu_ = new QMenuBar(this);
    auto* file = menu_->addMenu(QString::fromStdString(ftp_.fileMenu.Caption));
    file->setObjectName("f");
    QAction* setup = file->addAction(QString::fromStdString(ftp_.setupItem.Caption));
    setup->setObjectName("s");
    QAction* end = file->addAction(QString::fromStdString(ftp_.endItem.Caption));
    end->setObjectName("end");
    connect(setup, &QAction::triggered, this, [this] { run([this] { ftp_.openSetup(); }); });
    connect(end, &QAction::triggered, this, [this] { run([this] { ftp_.end(); }); });
}

void FtpWindow::createControls()
{
    captions_[0] = caption(ftp_.hostLabel, "Label1", "Caption of the host list", this);
    hostBox_ = new LabelledComboBox(this);
    hostBox_->setObjectName("Combo1");
    hostBox_->setEditable(true);
    hostBox_->setInsertPolicy(QComboBox::NoInsert);
    hostBox_->setAccessibleName(QString::fromStdString(ftp_.hostLabel.Caption));
    hostBox_->lineEdit()->setAccessibleName(hostBox_->accessibleName()); // the text box a reader lands in
    hostBox_->setAccessibleDescription("Stored hosts; type a host name, with :port if it needs one");
    hostBox_->setMinimumWidth(240);
    captions_[0]->setBuddy(hostBox_);
    auto box = [this](const Label& label, const char* name, const char* role) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setAccessibleName(QString::fromStdString(label.Caption));
        e->setAccessibleDescription(role);
        return e;
    };
    captions_[1] = caption(ftp_.userLabel, "Label2", "Caption of the user name box", this);
    userBox_ = box(ftp_.userLabel, "Text2", "Your user name on the server");
    captions_[2] = caption(ftp_.passwordLabel, "Label3", "Caption of the password box", this);
    passwordBox_ = box(ftp_.passwordLabel, "Text3", "Your password on the server");
    passwordBox_->setEchoMode(QLineEdit::Password);
    captions_[3] = caption(ftp_.tempPathLabel, "Label4", "Caption of the temp path box", this);
    tempPathBox_ = box(ftp_.tempPathLabel, "Text8", "The folder downloaded pages go to");
    captions_[1]->setBuddy(userBox_);
    captions_[2]->setBuddy(passwordBox_);
    captions_[3]->setBuddy(tempPathBox_);

    auto button = [this](const Button& state, const char* name) {
        auto* b = new QPushButton(QString::fromStdString(state.Caption), this);
        b->setObjectName(name);
        return b;
    };
    connectButton_ = button(ftp_.connectButton, "Command1");
    disconnectButton_ = button(ftp_.disconnectButton, "Command6");
    parentButton_ = button(ftp_.parentButton, "Command5");
    batchButton_ = button(ftp_.batchButton, "Command7");
    exitButton_ = button(ftp_.exitButton, "Command8");
    uploadButton_ = button(ftp_.uploadButton, "Command9");
    changesButton_ = button(ftp_.changesButton, "Command10");
    uploadButton_->setAccessibleDescription("Sends the downloaded pages you changed back to their folders on the server");
    changesButton_->setAccessibleDescription("Lists the image tags you changed in the downloaded pages");
    connectButton_->setDefault(true);

    folders_ = list("List2", ftp_.foldersLabel, "Folders of the server's current folder; choose one to open it", this);
    files_ = list("List3", ftp_.filesLabel, "Files of the server's current folder; choose one to download it", this);
    batchFiles_ = list("List1", ftp_.batchLabel, "Files downloaded to the temp path, for the batch", this);
    batchFiles_->setSelectionMode(QAbstractItemView::NoSelection);
    captions_[4] = caption(ftp_.foldersLabel, "Label5", "Caption of the folder list", this);
    captions_[5] = caption(ftp_.filesLabel, "Label6", "Caption of the file list", this);
    captions_[6] = caption(ftp_.batchLabel, "Label7", "Caption of the list of downloaded files", this);
    captions_[4]->setBuddy(folders_);
    captions_[5]->setBuddy(files_);
    captions_[6]->setBuddy(batchFiles_);
    connectingOverFolders_ = indicator(ftp_.connectingOverFolders, "Text5", folders_);
    connectingOverBatch_ = indicator(ftp_.connectingOverBatch, "Text6", batchFiles_);
    connectingOverFiles_ = indicator(ftp_.connectingOverFiles, "Text7", files_);
}

void FtpWindow::layOutControls()
{
    // The boxes beside their captions with the connection's buttons at their right; the three
    // lists under them; the batch's buttons at the bottom. The window is as large as they need.
    auto* grid = new QGridLayout;
    QWidget* fields[] = {hostBox_, userBox_, passwordBox_, tempPathBox_};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(captions_[i], i, 0);
        grid->addWidget(fields[i], i, 1);
    }
    auto* connection = new QVBoxLayout;
    connection->addWidget(connectButton_);
    connection->addWidget(disconnectButton_);
    connection->addWidget(parentButton_);
    connection->addStretch(1);
    grid->addLayout(connection, 0, 2, 4, 1);

    auto* lists = new QGridLayout;
    QListWidget* views[] = {folders_, files_, batchFiles_};
    for (int i = 0; i < 3; ++i) {
        lists->addWidget(captions_[4 + i], 0, i);
        lists->addWidget(views[i], 1, i);
    }

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(uploadButton_);
    bottom->addWidget(changesButton_);
    bottom->addStretch(1);
    bottom->addWidget(batchButton_);
    bottom->addWidget(exitButton_);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu_);
    layout->addLayout(grid);
    layout->addLayout(lists, 1);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FtpWindow::connectControls()
{
    auto bind = [this](QLineEdit* edit, TextBox& state) {
        connect(edit, &QLineEdit::textEdited, this, [this, &state](const QString& text) {
            if (!updating_)
                state.setText(toBytes(text));
        });
    };
    bind(userBox_, ftp_.userBox);
    bind(passwordBox_, ftp_.passwordBox);
    bind(tempPathBox_, ftp_.tempPathBox);
    connect(hostBox_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        if (updating_)
            return;
        run([this, text] {
            ftp_.hostBox.Text = toBytes(text);
            ftp_.hostTyped();
        });
    });
    connect(hostBox_, &QComboBox::activated, this, [this](int index) {
        if (updating_)
            return;
        run([this, index] {
            ftp_.hostBox.Text = toBytes(hostBox_->itemText(index));
            ftp_.chooseHost();
        });
    });

    connect(connectButton_, &QPushButton::clicked, this, [this] { run([this] { ftp_.connectToHost(); }); });
    connect(disconnectButton_, &QPushButton::clicked, this, [this] { run([this] { ftp_.disconnect(); }); });
    connect(parentButton_, &QPushButton::clicked, this, [this] { run([this] { ftp_.parentFolder(); }); });
    connect(exitButton_, &QPushButton::clicked, this, [this] { run([this] { ftp_.exit(); }); });
    connect(uploadButton_, &QPushButton::clicked, this, [this] { run([this] { ftp_.uploadEdited(); }); });
    connect(changesButton_, &QPushButton::clicked, this, [this] { run([this] { ftp_.showChanges(); }); });
    connect(batchButton_, &QPushButton::clicked, this, [this] { startBatching(); });

    for (auto [view, state] : {std::pair{folders_, &ftp_.folders}, std::pair{files_, &ftp_.files}}) {
        ListBox* box = state;
        QListWidget* v = view;
        connect(v, &QListWidget::itemClicked, this, [this, v, box](QListWidgetItem* item) { rowClicked(*box, v->row(item)); });
        v->installEventFilter(this);
    }
}

void FtpWindow::rowClicked(ListBox& box, int row)
{
    run([&box, row] {
        // A click on the row already chosen is a click all the same (the same file twice).
        if (row == box.ListIndex())
            box.Click();
        else
            box.setListIndex(row);
    });
}

bool FtpWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Keyboard users open a folder or fetch a file with Enter or Space.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool press = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
        if (press && watched == folders_ && folders_->currentRow() >= 0) {
            rowClicked(ftp_.folders, folders_->currentRow());
            return true;
        }
        if (press && watched == files_ && files_->currentRow() >= 0) {
            rowClicked(ftp_.files, files_->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FtpWindow::startBatching()
{
    QPointer<FtpWindow> self(this);
    QPointer<QWidget> main(main_);
    handlers::runAlone([&] {
        // The window goes first: what the main window says about the batch belongs to it.
        hide();
        running_ = true;
        SpeakingFor speaking(main_);
        ftp_.startBatching();
        if (self)
            running_ = false;
    });
    if (main)
        main->activateWindow();
}

void FtpWindow::refillHosts(const std::vector<std::string>& hosts)
{
    ftp_.refillHosts(hosts);
    refresh();
}

void FtpWindow::closeEvent(QCloseEvent* event)
{
    // Closing waits for the action under way: Cancel in its progress dialog ends it.
    if ((running_ || ftp_.transferring()) && isVisible()) {
        event->ignore();
        return;
    }
    {
        SpeakingFor speaking(this);
        ftp_.unload();
    }
    QWidget::closeEvent(event);
}

void FtpWindow::refresh()
{
    updating_ = true;
    QStringList hosts;
    for (const std::string& host : ftp_.hostBox.items())
        hosts << fromBytes(host);
    QStringList shown;
    for (int i = 0; i < hostBox_->count(); ++i)
        shown << hostBox_->itemText(i);
    if (hosts != shown) {
        hostBox_->clear();
        hostBox_->addItems(hosts);
    }
    if (toBytes(hostBox_->currentText()) != ftp_.hostBox.Text)
        hostBox_->setEditText(fromBytes(ftp_.hostBox.Text));
    const std::pair<QLineEdit*, const TextBox*> boxes[] = {{userBox_, &ftp_.userBox}, {passwordBox_, &ftp_.passwordBox}, {tempPathBox_, &ftp_.tempPathBox}};
    for (auto [edit, state] : boxes)
        if (toBytes(edit->text()) != state->Text())
            edit->setText(fromBytes(state->Text()));
    fill(folders_, ftp_.folders);
    fill(files_, ftp_.files);
    fill(batchFiles_, ftp_.batchFiles);
    if (!sameItems(batchFiles_, {}))
        batchFiles_->scrollToBottom();
    connectingOverFolders_->setVisible(ftp_.connectingOverFolders.Visible);
    connectingOverBatch_->setVisible(ftp_.connectingOverBatch.Visible);
    connectingOverFiles_->setVisible(ftp_.connectingOverFiles.Visible);
    const std::pair<QPushButton*, const Button*> buttons[] = {{connectButton_, &ftp_.connectButton}, {parentButton_, &ftp_.parentButton},
                                                              {disconnectButton_, &ftp_.disconnectButton}, {batchButton_, &ftp_.batchButton},
                                                              {exitButton_, &ftp_.exitButton}, {uploadButton_, &ftp_.uploadButton},
                                                              {changesButton_, &ftp_.changesButton}};
    for (auto [view, state] : buttons) {
        view->setEnabled(state->Enabled);
        view->setVisible(state->Visible);
    }
    updating_ = false;
}

} // namespace bw
