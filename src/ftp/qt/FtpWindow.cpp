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
    // The component's progress lets paints through; a second handler must wait its turn.
    // While a handler runs the window refuses to close (its action may be under way), so
    // the handler's own Exit closes it once the handler is over.
    QPointer<FtpWindow> self(this);
    bool closing = false;
    const bool ran = handlers::runAlone([&] {
        running_ = true;
        std::function<void()> unload = std::exchange(ftp_.Unload, [&closing] { closing = true; });
        SpeakingFor speaking(this);
        handler();
        if (self)
            ftp_.Unload = std::move(unload);
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
    setWindowTitle(titleText(ftp_.Caption));
    ftp_.Unload = [this] { close(); };
    // "Connecting" must be on screen before the connect blocks.
    ftp_.Repaint = [this] {
        refresh();
        repaint();
    };
    createMenus();
    createControls();
    layOutControls();
    connectControls();
    ftp_.Form_Load();
    refresh();
}

void FtpWindow::createMenus()
{
    menu_ = new QMenuBar(this);
    auto* file = menu_->addMenu(QString::fromStdString(ftp_.f.Caption));
    file->setObjectName("f");
    QAction* setup = file->addAction(QString::fromStdString(ftp_.s.Caption));
    setup->setObjectName("s");
    QAction* end = file->addAction(QString::fromStdString(ftp_.end.Caption));
    end->setObjectName("end");
    connect(setup, &QAction::triggered, this, [this] { run([this] { ftp_.s_Click(); }); });
    connect(end, &QAction::triggered, this, [this] { run([this] { ftp_.end_Click(); }); });
}

void FtpWindow::createControls()
{
    captions_[0] = caption(ftp_.Label1, "Label1", "Caption of the host list", this);
    combo1_ = new LabelledComboBox(this);
    combo1_->setObjectName("Combo1");
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    combo1_->setAccessibleName(QString::fromStdString(ftp_.Label1.Caption));
    combo1_->lineEdit()->setAccessibleName(combo1_->accessibleName()); // the text box a reader lands in
    combo1_->setAccessibleDescription("Stored hosts; type a host name, with :port if it needs one");
    combo1_->setMinimumWidth(240);
    captions_[0]->setBuddy(combo1_);
    auto box = [this](const Label& label, const char* name, const char* role) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setAccessibleName(QString::fromStdString(label.Caption));
        e->setAccessibleDescription(role);
        return e;
    };
    captions_[1] = caption(ftp_.Label2, "Label2", "Caption of the user name box", this);
    text2_ = box(ftp_.Label2, "Text2", "Your user name on the server");
    captions_[2] = caption(ftp_.Label3, "Label3", "Caption of the password box", this);
    text3_ = box(ftp_.Label3, "Text3", "Your password on the server");
    text3_->setEchoMode(QLineEdit::Password);
    captions_[3] = caption(ftp_.Label4, "Label4", "Caption of the temp path box", this);
    text8_ = box(ftp_.Label4, "Text8", "The folder downloaded pages go to");
    captions_[1]->setBuddy(text2_);
    captions_[2]->setBuddy(text3_);
    captions_[3]->setBuddy(text8_);

    auto button = [this](const Button& state, const char* name) {
        auto* b = new QPushButton(QString::fromStdString(state.Caption), this);
        b->setObjectName(name);
        return b;
    };
    command1_ = button(ftp_.Command1, "Command1");
    command6_ = button(ftp_.Command6, "Command6");
    command5_ = button(ftp_.Command5, "Command5");
    command7_ = button(ftp_.Command7, "Command7");
    command8_ = button(ftp_.Command8, "Command8");
    command9_ = button(ftp_.Command9, "Command9");
    command10_ = button(ftp_.Command10, "Command10");
    command9_->setAccessibleDescription("Sends the downloaded pages you changed back to their folders on the server");
    command10_->setAccessibleDescription("Lists the image tags you changed in the downloaded pages");
    command1_->setDefault(true);

    list2_ = list("List2", ftp_.Label5, "Folders of the server's current folder; choose one to open it", this);
    list3_ = list("List3", ftp_.Label6, "Files of the server's current folder; choose one to download it", this);
    list1_ = list("List1", ftp_.Label7, "Files downloaded to the temp path, for the batch", this);
    list1_->setSelectionMode(QAbstractItemView::NoSelection);
    captions_[4] = caption(ftp_.Label5, "Label5", "Caption of the folder list", this);
    captions_[5] = caption(ftp_.Label6, "Label6", "Caption of the file list", this);
    captions_[6] = caption(ftp_.Label7, "Label7", "Caption of the list of downloaded files", this);
    captions_[4]->setBuddy(list2_);
    captions_[5]->setBuddy(list3_);
    captions_[6]->setBuddy(list1_);
    text5_ = indicator(ftp_.Text5, "Text5", list2_);
    text6_ = indicator(ftp_.Text6, "Text6", list1_);
    text7_ = indicator(ftp_.Text7, "Text7", list3_);
}

void FtpWindow::layOutControls()
{
    // The boxes beside their captions with the connection's buttons at their right; the three
    // lists under them; the batch's buttons at the bottom. The window is as large as they need.
    auto* grid = new QGridLayout;
    QWidget* fields[] = {combo1_, text2_, text3_, text8_};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(captions_[i], i, 0);
        grid->addWidget(fields[i], i, 1);
    }
    auto* connection = new QVBoxLayout;
    connection->addWidget(command1_);
    connection->addWidget(command6_);
    connection->addWidget(command5_);
    connection->addStretch(1);
    grid->addLayout(connection, 0, 2, 4, 1);

    auto* lists = new QGridLayout;
    QListWidget* views[] = {list2_, list3_, list1_};
    for (int i = 0; i < 3; ++i) {
        lists->addWidget(captions_[4 + i], 0, i);
        lists->addWidget(views[i], 1, i);
    }

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(command9_);
    bottom->addWidget(command10_);
    bottom->addStretch(1);
    bottom->addWidget(command7_);
    bottom->addWidget(command8_);

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
    bind(text2_, ftp_.Text2);
    bind(text3_, ftp_.Text3);
    bind(text8_, ftp_.Text8);
    connect(combo1_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        if (updating_)
            return;
        run([this, text] {
            ftp_.Combo1.Text = toBytes(text);
            ftp_.Combo1_Change();
        });
    });
    connect(combo1_, &QComboBox::activated, this, [this](int index) {
        if (updating_)
            return;
        run([this, index] {
            ftp_.Combo1.Text = toBytes(combo1_->itemText(index));
            ftp_.Combo1_Click();
        });
    });

    connect(command1_, &QPushButton::clicked, this, [this] { run([this] { ftp_.Command1_Click(); }); });
    connect(command6_, &QPushButton::clicked, this, [this] { run([this] { ftp_.Command6_Click(); }); });
    connect(command5_, &QPushButton::clicked, this, [this] { run([this] { ftp_.Command5_Click(); }); });
    connect(command8_, &QPushButton::clicked, this, [this] { run([this] { ftp_.Command8_Click(); }); });
    connect(command9_, &QPushButton::clicked, this, [this] { run([this] { ftp_.Command9_Click(); }); });
    connect(command10_, &QPushButton::clicked, this, [this] { run([this] { ftp_.Command10_Click(); }); });
    connect(command7_, &QPushButton::clicked, this, [this] { startBatching(); });

    for (auto [view, state] : {std::pair{list2_, &ftp_.List2}, std::pair{list3_, &ftp_.List3}}) {
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
        if (press && watched == list2_ && list2_->currentRow() >= 0) {
            rowClicked(ftp_.List2, list2_->currentRow());
            return true;
        }
        if (press && watched == list3_ && list3_->currentRow() >= 0) {
            rowClicked(ftp_.List3, list3_->currentRow());
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
        ftp_.Command7_Click();
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
    if (running_ && isVisible()) {
        event->ignore();
        return;
    }
    {
        SpeakingFor speaking(this);
        ftp_.Form_Unload();
    }
    QWidget::closeEvent(event);
}

void FtpWindow::refresh()
{
    updating_ = true;
    QStringList hosts;
    for (const std::string& host : ftp_.Combo1.items())
        hosts << fromBytes(host);
    QStringList shown;
    for (int i = 0; i < combo1_->count(); ++i)
        shown << combo1_->itemText(i);
    if (hosts != shown) {
        combo1_->clear();
        combo1_->addItems(hosts);
    }
    if (toBytes(combo1_->currentText()) != ftp_.Combo1.Text)
        combo1_->setEditText(fromBytes(ftp_.Combo1.Text));
    const std::pair<QLineEdit*, const TextBox*> boxes[] = {{text2_, &ftp_.Text2}, {text3_, &ftp_.Text3}, {text8_, &ftp_.Text8}};
    for (auto [edit, state] : boxes)
        if (toBytes(edit->text()) != state->Text())
            edit->setText(fromBytes(state->Text()));
    fill(list2_, ftp_.List2);
    fill(list3_, ftp_.List3);
    fill(list1_, ftp_.List1);
    if (!sameItems(list1_, {}))
        list1_->scrollToBottom();
    text5_->setVisible(ftp_.Text5.Visible);
    text6_->setVisible(ftp_.Text6.Visible);
    text7_->setVisible(ftp_.Text7.Visible);
    const std::pair<QPushButton*, const Button*> buttons[] = {{command1_, &ftp_.Command1}, {command5_, &ftp_.Command5},
                                                              {command6_, &ftp_.Command6}, {command7_, &ftp_.Command7},
                                                              {command8_, &ftp_.Command8}, {command9_, &ftp_.Command9},
                                                              {command10_, &ftp_.Command10}};
    for (auto [view, state] : buttons) {
        view->setEnabled(state->Enabled);
        view->setVisible(state->Visible);
    }
    updating_ = false;
}

} // namespace bw
