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
    setup_.Unload = [this] { close(); };
    createControls();
    layOutControls();
    connectControls();
    setWindowTitle(QString::fromStdString(setup_.Caption));
    setup_.Form_Load();
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
    const Label* labels[] = {&setup_.Label1, &setup_.Label2, &setup_.Label3, &setup_.Label4, &setup_.Label6, &setup_.Label7};
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

    QLabel* label5 = caption(setup_.Label5, "Label5", "Caption of the protocol list");
    combo1_ = new QComboBox(this);
    combo1_->setObjectName("Combo1");
    combo1_->setAccessibleName(label5->text());
    for (const std::string& item : setup_.Combo1.items())
        combo1_->addItem(QString::fromStdString(item));
    label5->setBuddy(combo1_);
    captions_[4] = label5;

    command3_ = new QPushButton(QString::fromStdString(setup_.Command3.Caption), this);
    command3_->setObjectName("Command3");
    command3_->setAccessibleDescription("Choose the key file");
    check1_ = new QCheckBox(QString::fromStdString(setup_.Check1.Caption), this);
    check1_->setObjectName("Check1");
    check1_->setAccessibleName(check1_->text());
    label8_ = new QLabel(this);
    label8_->setObjectName("Label8");

    list1_ = new QListWidget(this);
    list1_->setObjectName("List1");
    list1_->setAccessibleName("Stored hosts");
    list1_->setAccessibleDescription("Choosing a host offers to delete it");
    list1_->setToolTip("Click a host to delete it");
    list1_->setSelectionMode(QAbstractItemView::SingleSelection);
    list1_->setFixedHeight(120);
    command1_ = new QPushButton(QString::fromStdString(setup_.Command1.Caption), this);
    command1_->setObjectName("Command1");
    command2_ = new QPushButton(QString::fromStdString(setup_.Command2.Caption), this);
    command2_->setObjectName("Command2");
}

void SetupWindow::layOutControls()
{
    // Each box beside its caption, the key file's with its button; the stored hosts under
    // them, then Save at the left and Back at the right. The window is as large as they need.
    auto* grid = new QGridLayout(this);
    QWidget* fields[] = {texts_[0], texts_[1], texts_[2], texts_[3], combo1_, texts_[4]};
    for (int row = 0; row < 7; ++row)
        grid->addWidget(captions_[row], row, 0);
    for (int row = 0; row < 6; ++row)
        grid->addWidget(fields[row], row, 1);
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(texts_[5], 1);
    keyRow->addWidget(command3_);
    grid->addLayout(keyRow, 6, 1);
    grid->addWidget(check1_, 7, 1);
    grid->addWidget(label8_, 8, 0, 1, 2);
    grid->addWidget(list1_, 9, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(command1_);
    buttons->addStretch(1);
    buttons->addWidget(command2_);
    grid->addLayout(buttons, 10, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void SetupWindow::connectControls()
{
    TextBox* boxes[] = {&setup_.Text1, &setup_.Text2, &setup_.Text3, &setup_.Text4, &setup_.Text5, &setup_.Text6};
    for (int i = 0; i < 6; ++i) {
        TextBox* box = boxes[i];
        connect(texts_[i], &QLineEdit::textEdited, this, [this, box](const QString& text) {
            if (!updating_)
                box->setText(toBytes(text));
        });
    }
    connect(combo1_, &QComboBox::activated, this,
            [this](int index) { run([this, index] { setup_.Combo1.setListIndex(index); }); });
    connect(command3_, &QPushButton::clicked, this, [this] { run([this] { setup_.Command3_Click(); }); });
    connect(check1_, &QCheckBox::toggled, this, [this](bool on) {
        if (!updating_)
            setup_.Check1.Value = on;
    });
    list1_->installEventFilter(this);
    connect(list1_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { rowClicked(list1_->row(item)); });
    connect(command1_, &QPushButton::clicked, this, [this] { run([this] { setup_.Command1_Click(); }); });
    connect(command2_, &QPushButton::clicked, this, [this] { run([this] { setup_.Command2_Click(); }); });
}

void SetupWindow::rowClicked(int row)
{
    run([this, row] {
        // A click on the row already chosen asks again, as a click on any other row does.
        if (row == setup_.List1.ListIndex())
            setup_.List1_Click();
        else
            setup_.List1.setListIndex(row);
    });
}

bool SetupWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Keyboard users reach the delete question with Enter, Space or Delete on a host.
    if (watched == list1_ && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space || key == Qt::Key_Delete) &&
            list1_->currentRow() >= 0) {
            rowClicked(list1_->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SetupWindow::refresh()
{
    updating_ = true;
    const TextBox* boxes[] = {&setup_.Text1, &setup_.Text2, &setup_.Text3, &setup_.Text4, &setup_.Text5, &setup_.Text6};
    for (int i = 0; i < 6; ++i) {
        if (toBytes(texts_[i]->text()) != boxes[i]->Text())
            texts_[i]->setText(fromBytes(boxes[i]->Text()));
        texts_[i]->setEnabled(boxes[i]->Enabled);
    }
    combo1_->setCurrentIndex(setup_.Combo1.ListIndex());
    // An empty port box shows the port it stands for.
    texts_[4]->setPlaceholderText(QString::number(usualPort(static_cast<Protocol>(std::max(setup_.Combo1.ListIndex(), 0)))));
    command3_->setEnabled(setup_.Command3.Enabled);
    check1_->setChecked(setup_.Check1.Value);
    label8_->setText(QString::fromStdString(setup_.Label8.Caption));
    const auto& items = setup_.List1.items();
    bool same = list1_->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < list1_->count(); ++i)
        same = toBytes(list1_->item(i)->text()) == items[static_cast<size_t>(i)];
    if (!same) {
        list1_->clear();
        for (const std::string& host : items)
            list1_->addItem(fromBytes(host));
    }
    list1_->setCurrentRow(setup_.List1.ListIndex());
    if (setup_.List1.ListIndex() < 0)
        list1_->clearSelection();
    updating_ = false;
}

} // namespace bw
