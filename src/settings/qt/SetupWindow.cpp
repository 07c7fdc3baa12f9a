#include "settings/qt/SetupWindow.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/qt/Handlers.h"
#include "platform/qt/QtPlatform.h"

namespace bw {

// Back closes the window, which goes once the handler is over; a keyring answer that comes
// later finds the window's state gone and does nothing.
template <class Handler> void SetupWindow::run(Handler handler) { handlers::runFor(this, handler); }

SetupWindow::SetupWindow(Platform platform, std::string tempPath, FtpHostList* ftp, QWidget* parent)
    : QWidget(parent, Qt::Window), setup_(platform, std::move(tempPath), ftp)
{
    setObjectName("setup");
    announceAs(this, QAccessible::Dialog);
    setup_.closeWindow = [this] { close(); };
    createControls();
    layOutControls();
    connectControls();
    setWindowTitle(QString::fromStdString(setup_.title));
    setup_.load();
    refresh();
}

void SetupWindow::createControls()
{
    auto caption = [this](const Label& label, const char* name, const char* role) {
        auto* l = new QLabel(QString::fromStdString(label.Caption), this);
        l->setObjectName(name);
        l->setAccessibleDescription(role);
        return l;
    };
    const Label* labels[] = {&setup_.hostLabel, &setup_.userLabel, &setup_.passwordLabel, &setup_.tempPathLabel, &setup_.portLabel, &setup_.keyFileLabel};
    const char* labelNames[] = {"Label1", "Label2", "Label3", "Label4", "Label6", "Label7"};
    const char* roles[] = {"Caption of the host name box", "Caption of the user name box", "Caption of the password box",
                           "Caption of the temp path box",  "Caption of the port box",      "Caption of the key file box"};
    const int rows[] = {0, 1, 2, 3, 5, 6};
    for (int i = 0; i < 6; ++i) {
        QLabel* label = caption(*labels[i], labelNames[i], roles[i]);
        texts_[i] = new QLineEdit(this);
        texts_[i]->setObjectName(QString("Text%1").arg(i + 1));
        texts_[i]->setAccessibleName(label->text());
        texts_[i]->setMinimumWidth(260);
        label->setBuddy(texts_[i]);
        captions_[rows[i]] = label;
    }
    texts_[2]->setEchoMode(QLineEdit::Password);
    texts_[4]->setAccessibleDescription("Empty: the protocol's usual port, 21 or 22 for SFTP");
    texts_[5]->setAccessibleDescription("SFTP only: a private key file; empty: the SSH agent or the password");

    QLabel* label5 = caption(setup_.protocolLabel, "Label5", "Caption of the protocol list");
    protocols_ = new LabelledComboBox(this); // read by its label, not by the protocol chosen
    protocols_->setObjectName("Combo1");
    protocols_->setAccessibleName(label5->text());
    for (const std::string& item : setup_.protocols.items())
        protocols_->addItem(QString::fromStdString(item));
    label5->setBuddy(protocols_);
    captions_[4] = label5;

    browseButton_ = new QPushButton(QString::fromStdString(setup_.browseButton.Caption), this);
    browseButton_->setObjectName("Command3");
    browseButton_->setAccessibleDescription("Choose the key file");
    keepBackupBox_ = new QCheckBox(QString::fromStdString(setup_.keepBackupBox.Caption), this);
    keepBackupBox_->setObjectName("Check1");
    keepBackupBox_->setAccessibleName(keepBackupBox_->text());
    keyringNote_ = new QLabel(this);
    keyringNote_->setObjectName("Label8");

    hosts_ = new QListWidget(this);
    hosts_->setObjectName("List1");
    hosts_->setAccessibleName("Stored hosts");
    hosts_->setAccessibleDescription("Choosing a host offers to delete it");
    hosts_->setToolTip("Click a host to delete it");
    hosts_->setSelectionMode(QAbstractItemView::SingleSelection);
    hosts_->setFixedHeight(120);
    saveButton_ = new QPushButton(QString::fromStdString(setup_.saveButton.Caption), this);
    saveButton_->setObjectName("Command1");
    backButton_ = new QPushButton(QString::fromStdString(setup_.backButton.Caption), this);
    backButton_->setObjectName("Command2");
}

void SetupWindow::layOutControls()
{
    // Each box beside its caption, the key file's with its button; the stored hosts under
    // them, then Save at the left and Back at the right. The window is as large as they need.
    auto* grid = new QGridLayout(this);
    QWidget* fields[] = {texts_[0], texts_[1], texts_[2], texts_[3], protocols_, texts_[4]};
    for (int row = 0; row < 7; ++row)
        grid->addWidget(captions_[row], row, 0);
    for (int row = 0; row < 6; ++row)
        grid->addWidget(fields[row], row, 1);
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(texts_[5], 1);
    keyRow->addWidget(browseButton_);
    grid->addLayout(keyRow, 6, 1);
    grid->addWidget(keepBackupBox_, 7, 1);
    grid->addWidget(keyringNote_, 8, 0, 1, 2);
    grid->addWidget(hosts_, 9, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(saveButton_);
    buttons->addStretch(1);
    buttons->addWidget(backButton_);
    grid->addLayout(buttons, 10, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void SetupWindow::connectControls()
{
    TextBox* boxes[] = {&setup_.hostBox, &setup_.userBox, &setup_.passwordBox, &setup_.tempPathBox, &setup_.portBox, &setup_.keyFileBox};
    for (int i = 0; i < 6; ++i) {
        TextBox* box = boxes[i];
        connect(texts_[i], &QLineEdit::textEdited, this, [this, box](const QString& text) {
            if (!updating_)
                box->setText(toBytes(text));
        });
    }
    connect(protocols_, &QComboBox::activated, this,
            [this](int index) { run([this, index] { setup_.protocols.setListIndex(index); }); });
    connect(browseButton_, &QPushButton::clicked, this, [this] { run([this] { setup_.browseKeyFile(); }); });
    connect(keepBackupBox_, &QCheckBox::toggled, this, [this](bool on) {
        if (!updating_)
            setup_.keepBackupBox.Value = on;
    });
    hosts_->installEventFilter(this);
    connect(hosts_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { rowClicked(hosts_->row(item)); });
    connect(saveButton_, &QPushButton::clicked, this, [this] { run([this] { setup_.save(); }); });
    connect(backButton_, &QPushButton::clicked, this, [this] { run([this] { setup_.back(); }); });
}

void SetupWindow::rowClicked(int row)
{
    run([this, row] {
        // A click on the row already chosen asks again, as a click on any other row does.
        if (row == setup_.hosts.ListIndex())
            setup_.chooseHost();
        else
            setup_.hosts.setListIndex(row);
    });
}

bool SetupWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Keyboard users reach the delete question with Enter, Space or Delete on a host.
    if (watched == hosts_ && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space || key == Qt::Key_Delete) &&
            hosts_->currentRow() >= 0) {
            rowClicked(hosts_->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SetupWindow::refresh()
{
    updating_ = true;
    const TextBox* boxes[] = {&setup_.hostBox, &setup_.userBox, &setup_.passwordBox, &setup_.tempPathBox, &setup_.portBox, &setup_.keyFileBox};
    for (int i = 0; i < 6; ++i) {
        if (toBytes(texts_[i]->text()) != boxes[i]->Text())
            texts_[i]->setText(fromBytes(boxes[i]->Text()));
        texts_[i]->setEnabled(boxes[i]->Enabled);
    }
    protocols_->setCurrentIndex(setup_.protocols.ListIndex());
    // An empty port box shows the port it stands for.
    texts_[4]->setPlaceholderText(QString::number(usualPort(static_cast<Protocol>(std::max(setup_.protocols.ListIndex(), 0)))));
    browseButton_->setEnabled(setup_.browseButton.Enabled);
    keepBackupBox_->setChecked(setup_.keepBackupBox.Value);
    keyringNote_->setText(QString::fromStdString(setup_.keyringNote.Caption));
    const auto& items = setup_.hosts.items();
    bool same = hosts_->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < hosts_->count(); ++i)
        same = toBytes(hosts_->item(i)->text()) == items[static_cast<size_t>(i)];
    if (!same) {
        hosts_->clear();
        for (const std::string& host : items)
            hosts_->addItem(fromBytes(host));
    }
    hosts_->setCurrentRow(setup_.hosts.ListIndex());
    if (setup_.hosts.ListIndex() < 0)
        hosts_->clearSelection();
    updating_ = false;
}

} // namespace bw
