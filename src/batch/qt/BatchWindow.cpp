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
    setWindowTitle(QString::fromStdString(batch_.title));
    batch_.closeWindow = [this] { close(); };
    createControls();
    layOutControls();
    connectControls();
    refresh();
}

void BatchWindow::createControls()
{
    pagesLabel_ = new QLabel(QString::fromStdString(batch_.pagesLabel.Caption), this);
    pagesLabel_->setObjectName("Label1");
    pagesLabel_->setAccessibleDescription("Caption of the list of chosen pages");
    pageList_ = new QListWidget(this);
    pageList_->setObjectName("List1");
    pageList_->setAccessibleName(QString::fromStdString(batch_.pagesLabel.Caption));
    pageList_->setAccessibleDescription("The pages of the batch, in the order they will be opened. "
                                     "Delete removes the page selected, Ctrl+Up and Ctrl+Down move it");
    pageList_->setSelectionMode(QAbstractItemView::SingleSelection);
    pageList_->setMinimumSize(360, 160);
    pagesLabel_->setBuddy(pageList_);

    addFilesButton_ = button(batch_.addFilesButton, "Command1", &LocalBatch::addFiles);
    addFolderButton_ = button(batch_.addFolderButton, "Command2", &LocalBatch::addFolder);
    removeButton_ = button(batch_.removeButton, "Command3", &LocalBatch::removeSelected);
    upButton_ = button(batch_.upButton, "Command4", &LocalBatch::moveSelectedUp);
    downButton_ = button(batch_.downButton, "Command5", &LocalBatch::moveSelectedDown);
    missingAltOnly_ = new QCheckBox(QString::fromStdString(batch_.missingAltOnly.Caption), this);
    missingAltOnly_->setObjectName("Check1");
    missingAltOnly_->setAccessibleDescription("At OK, pages whose every image has an ALT (an empty one too) are left out");
    okButton_ = new QPushButton(QString::fromStdString(batch_.okButton.Caption), this);
    okButton_->setObjectName("OKButton");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(QString::fromStdString(batch_.cancelButton.Caption), this);
    cancelButton_->setObjectName("CancelButton");
}

void BatchWindow::layOutControls()
{
    // The list with its buttons beside it, Check1 and then OK and Cancel at the right under
    // them; the window is as large as they need.
    auto* grid = new QGridLayout(this);
    grid->addWidget(pagesLabel_, 0, 0);
    grid->addWidget(pageList_, 1, 0);
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {addFilesButton_, addFolderButton_, removeButton_, upButton_, downButton_})
        side->addWidget(b);
    side->addStretch(1);
    grid->addLayout(side, 1, 1);
    grid->addWidget(missingAltOnly_, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void BatchWindow::connectControls()
{
    pageList_->installEventFilter(this);
    connect(pageList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!updating_)
            run([this, row] { batch_.pageList.setListIndex(row); });
    });
    connect(missingAltOnly_, &QCheckBox::toggled, this, [this](bool on) { batch_.missingAltOnly.Value = on; });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { run([this] { batch_.cancel(); }); });
    connect(okButton_, &QPushButton::clicked, this, [this] {
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
    if (watched != pageList_ || event->type() != QEvent::KeyPress)
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
    const auto& items = batch_.pageList.items();
    bool same = pageList_->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < pageList_->count(); ++i)
        same = toPath(pageList_->item(i)->text()) == items[static_cast<size_t>(i)];
    if (!same) {
        pageList_->clear();
        for (const std::string& path : items)
            pageList_->addItem(fromPath(path));
    }
    const int row = batch_.pageList.ListIndex();
    if (pageList_->currentRow() != row)
        pageList_->setCurrentRow(row);
    if (row >= 0)
        pageList_->scrollToItem(pageList_->item(row));
    else if (!same)
        pageList_->scrollToBottom();
    const std::pair<QPushButton*, const Button*> buttons[] = {
        {addFilesButton_, &batch_.addFilesButton}, {addFolderButton_, &batch_.addFolderButton}, {removeButton_, &batch_.removeButton},
        {upButton_, &batch_.upButton}, {downButton_, &batch_.downButton}};
    for (const auto& [b, state] : buttons)
        b->setEnabled(state->Enabled);
    missingAltOnly_->setChecked(batch_.missingAltOnly.Value);
    updating_ = false;
}

} // namespace bw
