#include "batch/qt/BatchWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace bw {

template <class Handler> void BatchWindow::run(Handler handler)
{
    SpeakingFor speaking(this);
    handler();
    refresh();
}

BatchWindow::BatchWindow(Platform platform, Form1& form, QWidget* main)
    : QWidget(main, Qt::Window), form3_(platform, form), main_(main)
{
    setObjectName("form3");
    announceAs(this, QAccessible::Dialog);
    setWindowTitle(QString::fromStdString(form3_.Caption));
    form3_.Unload = [this] { close(); };

    label1_ = new QLabel(QString::fromStdString(form3_.Label1.Caption), this);
    label1_->setObjectName("Label1");
    label1_->setAccessibleDescription("Caption of the list of chosen pages");
    list1_ = new QListWidget(this);
    list1_->setObjectName("List1");
    list1_->setAccessibleName(QString::fromStdString(form3_.Label1.Caption));
    list1_->setAccessibleDescription("The pages of the batch, in the order they will be opened");
    list1_->setSelectionMode(QAbstractItemView::NoSelection);
    list1_->setMinimumSize(360, 160);
    label1_->setBuddy(list1_);

    command1_ = new QPushButton(QString::fromStdString(form3_.Command1.Caption), this);
    command1_->setObjectName("Command1");
    ok_ = new QPushButton(QString::fromStdString(form3_.OKButton.Caption), this);
    ok_->setObjectName("OKButton");
    ok_->setDefault(true);
    cancel_ = new QPushButton(QString::fromStdString(form3_.CancelButton.Caption), this);
    cancel_->setObjectName("CancelButton");

    connect(command1_, &QPushButton::clicked, this, [this] { run([this] { form3_.Command1_Click(); }); });
    connect(cancel_, &QPushButton::clicked, this, [this] { run([this] { form3_.CancelButton_Click(); }); });
    connect(ok_, &QPushButton::clicked, this, [this] {
        // The window goes first: what the main window says about the batch belongs to it.
        hide();
        {
            SpeakingFor speaking(main_);
            form3_.OKButton_Click();
        }
        if (main_)
            main_->activateWindow();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1_);
    layout->addWidget(list1_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(command1_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    refresh();
}

void BatchWindow::refresh()
{
    const auto& items = form3_.List1.items();
    bool same = list1_->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < list1_->count(); ++i)
        same = toPath(list1_->item(i)->text()) == items[static_cast<size_t>(i)];
    if (same)
        return;
    list1_->clear();
    for (const std::string& path : items)
        list1_->addItem(fromPath(path));
    list1_->scrollToBottom();
}

} // namespace bw
