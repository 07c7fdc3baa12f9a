#include "settings/qt/SetupWindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/qt/QtPlatform.h"

namespace bw {

template <class Handler> void SetupWindow::run(Handler handler)
{
    SpeakingFor speaking(this); // its questions stand over this window
    handler();
    refresh();
}

SetupWindow::SetupWindow(Platform platform, std::string tempPath, FtpHostList* ftp, QWidget* parent)
    : QWidget(parent, Qt::Window), setup_(platform, std::move(tempPath), ftp)
{
    setObjectName("setup");
    announceAs(this, QAccessible::Dialog);
    setup_.Unload = [this] { close(); };

    auto* grid = new QGridLayout(this);
    const Label* labels[] = {&setup_.Label1, &setup_.Label2, &setup_.Label3, &setup_.Label4};
    TextBox* boxes[] = {&setup_.Text1, &setup_.Text2, &setup_.Text3, &setup_.Text4};
    const char* roles[] = {"Caption of the host name box", "Caption of the user name box",
                           "Caption of the password box", "Caption of the temp path box"};
    for (int i = 0; i < 4; ++i) {
        labels_[i] = new QLabel(QString::fromStdString(labels[i]->Caption), this);
        labels_[i]->setObjectName(QString("Label%1").arg(i + 1));
        labels_[i]->setAccessibleDescription(roles[i]);
        texts_[i] = new QLineEdit(this);
        texts_[i]->setObjectName(QString("Text%1").arg(i + 1));
        texts_[i]->setAccessibleName(QString::fromStdString(labels[i]->Caption));
        texts_[i]->setMinimumWidth(260);
        labels_[i]->setBuddy(texts_[i]);
        grid->addWidget(labels_[i], i, 0);
        grid->addWidget(texts_[i], i, 1);
        TextBox* box = boxes[i];
        connect(texts_[i], &QLineEdit::textEdited, this, [this, box](const QString& text) {
            if (!updating_)
                box->setText(toBytes(text));
        });
    }
    texts_[2]->setEchoMode(QLineEdit::Password);

    list1_ = new QListWidget(this);
    list1_->setObjectName("List1");
    list1_->setAccessibleName("Stored hosts");
    list1_->setAccessibleDescription("Choosing a host offers to delete it");
    list1_->setToolTip("Click a host to delete it");
    list1_->setSelectionMode(QAbstractItemView::SingleSelection);
    list1_->setFixedHeight(120);
    list1_->installEventFilter(this);
    grid->addWidget(list1_, 4, 0, 1, 2);
    connect(list1_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { rowClicked(list1_->row(item)); });

    command1_ = new QPushButton(QString::fromStdString(setup_.Command1.Caption), this);
    command1_->setObjectName("Command1");
    command2_ = new QPushButton(QString::fromStdString(setup_.Command2.Caption), this);
    command2_->setObjectName("Command2");
    connect(command1_, &QPushButton::clicked, this, [this] { run([this] { setup_.Command1_Click(); }); });
    connect(command2_, &QPushButton::clicked, this, [this] { run([this] { setup_.Command2_Click(); }); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(command1_);
    buttons->addStretch(1);
    buttons->addWidget(command2_);
    grid->addLayout(buttons, 5, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    setWindowTitle(QString::fromStdString(setup_.Caption));
    setup_.Form_Load();
    refresh();
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
    const TextBox* boxes[] = {&setup_.Text1, &setup_.Text2, &setup_.Text3, &setup_.Text4};
    for (int i = 0; i < 4; ++i)
        if (toBytes(texts_[i]->text()) != boxes[i]->Text())
            texts_[i]->setText(fromBytes(boxes[i]->Text()));
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
