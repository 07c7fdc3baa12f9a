#include "batch/qt/BatchWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/Handlers.h"

namespace bw {

template <class Handler> void BatchWindow::run(Handler handler) { handlers::runFor(this, handler); }

QPushButton* BatchWindow::button(const Button& state, const char* name, void (LocalBatch::*handler)())
{
    auto* b = new QPushButton(QString::fromStdString(state.Caption), this);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, [this, handler] { run([this, handler] { (batch_.*handler)(); }); });
    return b;
}

BatchWindow::BatchWindow(Platform platform, BatchSession& session, QWidget* main)
    : QWidget(main, Qt::Window), batch_(platform, session), main_(main)
{
    setObjectName("form3");
    announceAs(this, QAccessible::Dialog);
    setWindowTitle(QString::fromStdString(batch_.Caption));
    batch_.Unload = [this] { close(); };
    createControls();
    layOutControls();
    connectControls();
    refresh();
}

void BatchWindow::createControls()
{
    label1_ = new QLabel(QString::fromStdString(batch_.Label1.Caption), this);
    label1_->setObjectName("Label1");
    label1_->setAccessibleDescription("Caption of the list of chosen pages");
    list1_ = new QListWidget(this);
    list1_->setObjectName("List1");
    list1_->setAccessibleName(QString::fromStdString(batch_.Label1.Caption));
    list1_->setAccessibleDescription("The pages of the batch, in the order they will be opened. "
                                     "Delete removes the page selected, Ctrl+Up and Ctrl+Down move it");
    list1_->setSelectionMode(QAbstractItemView::SingleSelection);
    list1_->setMinimumSize(360, 160);
    label1_->setBuddy(list1_);

    command1_ = button(batch_.Command1, "Command1", &LocalBatch::addFiles);
    command2_ = button(batch_.Command2, "Command2", &LocalBatch::addFolder);
    command3_ = button(batch_.Command3, "Command3", &LocalBatch::removeSelected);
    command4_ = button(batch_.Command4, "Command4", &LocalBatch::moveSelectedUp);
    command5_ = button(batch_.Command5, "Command5", &LocalBatch::moveSelectedDown);
    check1_ = new QCheckBox(QString::fromStdString(batch_.Check1.Caption), this);
    check1_->setObjectName("Check1");
    check1_->setAccessibleDescription("At OK, pages whose every image has an ALT (an empty one too) are left out");
    ok_ = new QPushButton(QString::fromStdString(batch_.OKButton.Caption), this);
    ok_->setObjectName("OKButton");
    ok_->setDefault(true);
    cancel_ = new QPushButton(QString::fromStdString(batch_.CancelButton.Caption), this);
    cancel_->setObjectName("CancelButton");
}

void BatchWindow::layOutControls()
{
    // The list with its buttons beside it, Check1 and then OK and Cancel at the right under
    // them; the window is as large as they need.
    auto* grid = new QGridLayout(this);
    grid->addWidget(label1_, 0, 0);
    grid->addWidget(list1_, 1, 0);
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {command1_, command2_, command3_, command4_, command5_})
        side->addWidget(b);
    side->addStretch(1);
    grid->addLayout(side, 1, 1);
    grid->addWidget(check1_, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void BatchWindow::connectControls()
{
    list1_->installEventFilter(this);
    connect(list1_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!updating_)
            run([this, row] { batch_.List1.setListIndex(row); });
    });
    connect(check1_, &QCheckBox::toggled, this, [this](bool on) { batch_.Check1.Value = on; });
    connect(cancel_, &QPushButton::clicked, this, [this] { run([this] { batch_.cancel(); }); });
    connect(ok_, &QPushButton::clicked, this, [this] {
        bool chosen = false;
        run([&] { chosen = batch_.chooseBatch(); });
        if (!chosen)
            return;
        // The window goes first: what the main window says about the batch belongs to it.
        hide();
        {
            SpeakingFor speaking(main_);
            batch_.startChosenBatch();
        }
        if (main_)
            main_->activateWindow();
    });
}

bool BatchWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != list1_ || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers held = key->modifiers() & ~Qt::KeypadModifier;
    const bool moving = held == Qt::ControlModifier || held == Qt::AltModifier;
    void (LocalBatch::*handler)() = key->key() == Qt::Key_Delete && held == Qt::NoModifier ? &LocalBatch::removeSelected
                               : moving && key->key() == Qt::Key_Up                                ? &LocalBatch::moveSelectedUp
                               : moving && key->key() == Qt::Key_Down                              ? &LocalBatch::moveSelectedDown
                                                                                                   : nullptr;
    if (!handler)
        return QWidget::eventFilter(watched, event);
    run([this, handler] { (batch_.*handler)(); });
    return true;
}

void BatchWindow::refresh()
{
    updating_ = true;
    const auto& items = batch_.List1.items();
    bool same = list1_->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < list1_->count(); ++i)
        same = toPath(list1_->item(i)->text()) == items[static_cast<size_t>(i)];
    if (!same) {
        list1_->clear();
        for (const std::string& path : items)
            list1_->addItem(fromPath(path));
    }
    const int row = batch_.List1.ListIndex();
    if (list1_->currentRow() != row)
        list1_->setCurrentRow(row);
    if (row >= 0)
        list1_->scrollToItem(list1_->item(row));
    else if (!same)
        list1_->scrollToBottom();
    const std::pair<QPushButton*, const Button*> buttons[] = {
        {command1_, &batch_.Command1}, {command2_, &batch_.Command2}, {command3_, &batch_.Command3},
        {command4_, &batch_.Command4}, {command5_, &batch_.Command5}};
    for (const auto& [b, state] : buttons)
        b->setEnabled(state->Enabled);
    check1_->setChecked(batch_.Check1.Value);
    updating_ = false;
}

} // namespace bw
