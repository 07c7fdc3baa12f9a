#include "app/qt/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QListView>
#include <QGridLayout>
#include <QVBoxLayout>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QWindow>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <sstream>
#include <utility>

#include "app/qt/OverviewModel.h"
#include "app/qt/PictureLoader.h"
#include "platform/Settings.h"
#include "platform/qt/QtPlatform.h"

namespace bw {
namespace {
// Positions in pixels at 15 twips to a pixel.
constexpr int px(int twips) { return twips / 15; }

// The client area asks for no more room than its controls need, and never for less than its
// first size: the window opens at its smallest.
class ClientArea : public QWidget {
public:
    using QWidget::QWidget;
    QSize minimumSizeHint() const override
    {
        return QWidget::minimumSizeHint().expandedTo(QSize(MainWindow::kClientWidth, MainWindow::kClientHeight));
    }
    QSize sizeHint() const override { return minimumSizeHint(); }
};

// The client area's columns: the image view's first width and its share of the room beyond,
// then the ALT box's.
enum Column { PictureWidth, PictureShare, AltWidth, AltShare };

// At least as wide as its row expects, and wider when its caption asks.
class RowButton : public QPushButton {
public:
    RowButton(int leastWidth, QWidget* parent) : QPushButton(parent), leastWidth_(leastWidth) {}
    QSize sizeHint() const override { return QPushButton::sizeHint().expandedTo(QSize(leastWidth_, 0)); }

private:
    int leastWidth_;
};

QLabel* makeLabel(QWidget* parent, const char* name, const char* role)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAccessibleDescription(role);
    return label;
}

// A label that changes while the user works is read by its text: its accessible name is what
// it shows, or what it is while it shows nothing. Setting the name tells a screen reader of the
// change (a name change event on the label).
void showText(QLabel* label, const QString& text, const char* emptyName)
{
    const QString name = text.isEmpty() ? QString(emptyName) : text;
    if (label->text() != text)
        label->setText(text);
    if (label->accessibleName() != name)
        label->setAccessibleName(name);
}
} // namespace

MainWindow::MainWindow(EditorSession& editor, BatchSession& batch, QWidget* parent)
    : QMainWindow(parent), editor_(editor), batch_(batch)
{
    setObjectName("Form1");
    setWindowIcon(QIcon(":/icons/brindlework.png"));
    createActions();
    createMenus();
    createControls();
    layOutControls();
    connectControls();
    buildOverview();

    // The page and the batch may change from another window (the batch or FTP window): redraw
    // once the handler that changed them is done. The overview's rows follow the notices themselves.
    auto heard = [this](const PageDocument::Notice&) {
        if (std::exchange(refreshPending_, true))
            return;
        // A handler of this window redraws it anyway when it ends: then nothing is left to do.
        QMetaObject::invokeMethod(this, [this] {
            if (std::exchange(refreshPending_, false))
                refresh();
        }, Qt::QueuedConnection);
    };
    notices_ = editor_.subscribe(heard);
    batchNotices_ = batch_.subscribe(heard);
    refresh();
    resize(sizeHint()); // with the captions in
}

void MainWindow::createActions()
{
    const auto editor = [this](void (EditorSession::*command)()) { return [this, command] { (editor_.*command)(); }; };
    const auto batch = [this](void (BatchSession::*command)()) { return [this, command] { (batch_.*command)(); }; };
    const struct {
        const MenuItem& item;
        const char* name;
        std::function<void()> command;
        const char* keys;
    } items[] = {
        {editor_.view().newItem, "n", editor(&EditorSession::newPage), "Ctrl+N"},
        {editor_.view().siteFolderItem, "siteFolder", editor(&EditorSession::chooseSiteFolder), ""},
        {editor_.view().openItem, "o", editor(&EditorSession::openPage), "Ctrl+O"},
        {editor_.view().saveItem, "s", editor(&EditorSession::save), "Ctrl+S"},
        {editor_.view().saveAsItem, "sa", editor(&EditorSession::saveAs), "Ctrl+Shift+S"},
        {editor_.view().exitItem, "e", editor(&EditorSession::exitProgram), "Ctrl+Q"},
        {editor_.view().undoItem, "undo", editor(&EditorSession::undo), "Ctrl+Z"},
        {editor_.view().redoItem, "redo", editor(&EditorSession::redo), "Ctrl+Shift+Z"},
        {editor_.view().preferencesItem, "pr", nullptr, ""},
        {editor_.view().siteAddressItem, "url", editor(&EditorSession::askSiteAddress), ""},
        {editor_.view().userNameItem, "na", editor(&EditorSession::askUserName), ""},
        {editor_.view().passwordItem, "pass", editor(&EditorSession::askPassword), ""},
        {editor_.view().localBatchItem, "l", editor(&EditorSession::newLocalBatch), ""},
        {editor_.view().ftpBatchItem, "ftpa", editor(&EditorSession::newFtpBatch), ""}, // the FTP window comes with its own change
        {batch_.view().uploadItem, "up", batch(&BatchSession::uploadEdited), "Ctrl+U"},
        {batch_.view().changesItem, "sc", batch(&BatchSession::showChanges), ""},
        {editor_.view().supportItem, "su", editor(&EditorSession::openSupport), "F1"},
        {editor_.view().aboutItem, "ab", editor(&EditorSession::showAbout), ""},
    };
    for (const auto& item : items)
        menuAction(item.item, item.name, item.command)->setShortcut(QKeySequence(item.keys));
    actions_.at(&editor_.view().redoItem)->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
    // The toolbar's Preview, for the keyboard.
    preview_ = new QAction("Pre&view in Browser", this);
    preview_->setObjectName("preview");
    preview_->setShortcut(QKeySequence("F12"));
    connect(preview_, &QAction::triggered, this, [this] { run([this] { editor_.preview(); }); });
}

void MainWindow::createMenus()
{
    auto made = [this](std::initializer_list<const MenuItem*> items) {
        QList<QAction*> actions;
        for (const MenuItem* item : items)
            actions << actions_.at(item);
        return actions;
    };
    auto* file = menuBar()->addMenu("&File");
    file->setObjectName("f");
    file->addActions(made({&editor_.view().newItem, &editor_.view().openItem, &editor_.view().saveItem, &editor_.view().saveAsItem}) << preview_);
    file->addSeparator();
    file->addActions(made({&editor_.view().siteFolderItem}));
    file->addSeparator();
    file->addActions(made({&editor_.view().exitItem}));
    auto* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("edit");
    edit->addActions(made({&editor_.view().undoItem, &editor_.view().redoItem}));
    // Alt+S belongs to the "&Save" button, so the Setup menu answers to Alt+T.
    menuBar()->addMenu("Se&tup")->addActions(made({&editor_.view().preferencesItem}));
    // Alt+F is File's.
    menuBar()->addMenu("FT&P")->addMenu("Setup")->addActions(made({&editor_.view().siteAddressItem, &editor_.view().userNameItem, &editor_.view().passwordItem}));
    auto* batch = menuBar()->addMenu("&Batch");
    batch->addMenu("New")->addActions(made({&editor_.view().localBatchItem, &editor_.view().ftpBatchItem}));
    batch->addActions(made({&batch_.view().uploadItem, &batch_.view().changesItem}));
    helpMenu_ = menuBar()->addMenu(QString::fromStdString(editor_.view().helpMenu.Caption));
    helpMenu_->setObjectName("h");
    helpMenu_->addActions(made({&editor_.view().supportItem, &editor_.view().aboutItem}));
}

void MainWindow::createControls()
{
    central_ = new ClientArea(this);
    setCentralWidget(central_);
    createToolBar();
    auto button = [this](const Button& state, const char* name, int leastWidth) {
        auto* made = new RowButton(leastWidth, central_);
        made->setObjectName(name);
        buttons_[&state] = made;
        return made;
    };

    button(editor_.view().submitButton, "Command6", 100);
    text4_ = new QLineEdit(central_);
    text4_->setObjectName("Text4");
    text4_->setReadOnly(true);
    text4_->setAccessibleName("Search engine information");
    label4_ = makeLabel(central_, "Label4", "Version");
    label4_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    label1_ = makeLabel(central_, "Label1", "Image counter");
    label5_ = makeLabel(central_, "Label5", "Image name");
    label5_->setTextFormat(Qt::PlainText);
    // showPicture() fits the name to the room the layout leaves it.
    label5_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label2_ = makeLabel(central_, "Label2", "Caption of the ALT text box");
    label3_ = makeLabel(central_, "Label3", "Batch progress");
    button(batch_.view().nextFileButton, "Command7", 125);

    picture1_ = new QLabel(central_);
    picture1_->setObjectName("Picture1");
    picture1_->setAccessibleName("Image view");
    picture1_->setAccessibleDescription("The current image of the page");
    picture1_->setFrameShape(QFrame::StyledPanel);
    picture1_->setAlignment(Qt::AlignCenter);
    // A note or the reason a picture cannot be shown; names from a page are never markup.
    picture1_->setTextFormat(Qt::PlainText);
    picture1_->setWordWrap(true);
    // The picture is scaled to the room it gets and never asks for more.
    picture1_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);

    // Under the ALT box: the rules' hints (two lines), then Decorative and the length.
    decorative_ = new QCheckBox(QString::fromStdString(editor_.view().decorative.Caption), central_);
    decorative_->setObjectName("Decorative");
    decorative_->setAccessibleDescription("The image only decorates the page: it gets an empty ALT");
    hint_ = makeLabel(central_, "Hint", "What the ALT rules say of the text");
    hint_->setTextFormat(Qt::PlainText);
    hint_->setWordWrap(true);
    hint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hint_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    hint_->setFixedHeight(2 * fontMetrics().lineSpacing() + 2);
    length_ = makeLabel(central_, "Length", "The ALT text's length in characters");
    length_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for the largest count the hints give, whole.
    length_->setMinimumWidth(fontMetrics().horizontalAdvance("9999+ / 150") + 6);

    text1_ = new QPlainTextEdit(central_);
    text1_->setObjectName("Text1");
    text1_->setTabChangesFocus(true);
    text1_->setAccessibleName("Alt text");
    text1_->setAccessibleDescription("The alternative text of the current image");
    label2_->setBuddy(text1_);

    button(editor_.view().backButton, "Command5", 80);
    button(editor_.view().nextButton, "Command3", 80);
    auto* everywhere = button(editor_.view().useEverywhereButton, "UseEverywhere", 0);
    everywhere->setAccessibleDescription("Write this ALT text into the picture's uses without one on the site's other pages");
    button(editor_.view().resetButton, "Command1", 80);

    // Never shown and never focused: it answers to Alt+S only.
    auto* keep = new QPushButton(central_);
    keep->setObjectName("Command4");
    keep->setFocusPolicy(Qt::NoFocus);
    keep->hide();
    keep_ = keep;
    buttons_[&editor_.view().keepButton] = keep;
    auto* keepKey = new QAction(this);
    keepKey->setObjectName("keepKey");
    keepKey->setShortcut(QKeySequence("Alt+S"));
    addAction(keepKey);
    connect(keepKey, &QAction::triggered, keep, &QPushButton::click);
}

void MainWindow::layOutControls()
{
    auto row = [](std::initializer_list<QWidget*> widgets, int stretchAfter = -1) {
        auto* line = new QHBoxLayout;
        line->setSpacing(6);
        int at = 0;
        for (QWidget* widget : widgets) {
            line->addWidget(widget);
            if (at++ == stretchAfter)
                line->addStretch(1);
        }
        return line;
    };
    auto button = [this](const Button& state) { return buttons_.at(&state); };
    // The search engine's line takes the width the button and the version leave.
    QHBoxLayout* submitRow = row({button(editor_.view().submitButton), text4_, label4_});
    submitRow->setStretchFactor(text4_, 1);
    // The counter is as wide as its count; the image name takes the rest over the image view.
    QHBoxLayout* counterRow = row({label1_, label5_});
    counterRow->setStretchFactor(label5_, 1);
    QHBoxLayout* captionRow = row({label2_, label3_, button(batch_.view().nextFileButton)}, 1);
    auto* altColumn = new QVBoxLayout;
    altColumn->setSpacing(2);
    altColumn->addWidget(text1_, 1);
    altColumn->addWidget(hint_);
    altColumn->addLayout(row({decorative_, length_}, 0));

    // The image view and the ALT box each keep a first width and share what the window has
    // beyond it, the image view 3 parts to 2: an ALT is a line or two of text. Only the middle
    // row grows taller, so the bottom row stays at the bottom.
    columns_ = new QGridLayout;
    columns_->setHorizontalSpacing(0);
    columns_->setVerticalSpacing(4);
    QLayout* altRows[] = {captionRow, altColumn, row({button(editor_.view().useEverywhereButton), button(editor_.view().resetButton)}, 0)};
    for (int at = 0; at < 3; ++at) {
        altRows[at]->setContentsMargins(15, 0, 0, 0);
        columns_->addLayout(altRows[at], at, AltWidth, 1, 2);
    }
    columns_->addLayout(counterRow, 0, PictureWidth, 1, 2);
    columns_->addWidget(picture1_, 1, PictureWidth, 1, 2);
    columns_->addLayout(row({button(editor_.view().backButton), button(editor_.view().nextButton)}, 1), 2, PictureWidth, 1, 2);
    columns_->setColumnStretch(PictureShare, 3);
    columns_->setColumnStretch(AltShare, 2);
    columns_->setRowStretch(1, 1);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 5, 0);
    body->setSpacing(6);
    body->addLayout(submitRow);
    body->addLayout(columns_, 1);
    auto* client = new QVBoxLayout(central_);
    client->setContentsMargins(0, 0, 0, 2);
    client->setSpacing(4);
    client->addWidget(toolbar_);
    client->addLayout(body, 1);

    // A control shown or hidden by the page's state leaves the others where they are.
    for (QWidget* control : central_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QSizePolicy policy = control->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        control->setSizePolicy(policy);
    }
}

void MainWindow::connectControls()
{
    const std::pair<const Button*, void (EditorSession::*)()> clicks[] = {
        {&editor_.view().submitButton, &EditorSession::submitPage}, {&editor_.view().backButton, &EditorSession::back},
        {&editor_.view().nextButton, &EditorSession::next}, {&editor_.view().resetButton, &EditorSession::reset},
        {&editor_.view().keepButton, &EditorSession::keep},
        {&editor_.view().useEverywhereButton, &EditorSession::useForEveryPage},
    };
    for (auto [button, handler] : clicks)
        connect(buttons_.at(button), &QPushButton::clicked, this,
                [this, handler = handler] { run([this, handler] { (editor_.*handler)(); }); });
    // The button turns itself off once every page has the text; the focus goes back to the
    // box rather than on to RESET.
    connect(buttons_.at(&editor_.view().useEverywhereButton), &QPushButton::clicked, this, [this] {
        if (!QApplication::activeModalWidget() && text1_->isEnabled())
            text1_->setFocus();
    });
    connect(buttons_.at(&batch_.view().nextFileButton), &QPushButton::clicked, this,
            [this] { run([this] { batch_.nextFile(); }); });
    connect(decorative_, &QCheckBox::clicked, this, [this](bool checked) {
        if (updating_)
            return;
        run([this, checked] {
            editor_.setDecorative(checked);
        });
    });
    text1_->installEventFilter(this); // Enter is NEXT, Shift+Enter BACK
    connect(text1_, &QPlainTextEdit::textChanged, this, [this] {
        if (updating_)
            return;
        editor_.typeAlt(toBytes(text1_->toPlainText()));
        // The hints follow the typing; nothing else changes while the user types.
        showHints();
    });
    // The picture is decoded for the room it gets, the name fitted to its own.
    picture1_->installEventFilter(this);
    label5_->installEventFilter(this);

    QWidget* order[] = {text1_, decorative_, buttons_.at(&editor_.view().nextButton), buttons_.at(&editor_.view().backButton),
                        buttons_.at(&editor_.view().useEverywhereButton), buttons_.at(&editor_.view().resetButton), buttons_.at(&editor_.view().submitButton), text4_};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    text1_->setFocus();
}

void MainWindow::buildOverview()
{
    auto* dock = new QDockWidget("Images", this);
    dock->setObjectName("Overview");
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock)); // the list's own caption names it
    auto* panel = new QWidget(dock);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(6, 2, 6, 6);
    missingOnly_ = new QCheckBox(QString::fromStdString(editor_.view().missingOnly.Caption), panel);
    missingOnly_->setObjectName("MissingOnly");
    missingOnly_->setAccessibleDescription("List only the images that have no ALT text yet");
    auto* caption = new QLabel("&Images", panel);
    pictures_ = new PictureLoader(this);
    connect(pictures_, &PictureLoader::ready, this, [this](const QString& key, QSize room, const Picture& picture) {
        // What the view no longer waits for was only cached.
        if (key == viewKey_ && room == viewRoom_) {
            showDecoded(picture);
            showPicture();
        }
    });
    overviewModel_ = new OverviewModel(editor_, *pictures_, this);
    overviewModel_->setLinkColor(palette().color(QPalette::Active, QPalette::Link));
    overview_ = new QListView(panel);
    overview_->setModel(overviewModel_);
    // Rows as high as each other: a list of any length is laid out without reading its rows.
    overview_->setUniformItemSizes(true);
    overview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    overview_->setObjectName("OverviewList");
    overview_->setAccessibleName("Images");
    overview_->setAccessibleDescription("The page's images with their ALT texts; Enter shows one");
    overview_->setIconSize(QSize(40, 40));
    overviewModel_->setThumbnailRoom(overview_->iconSize() * devicePixelRatioF());
    overview_->setTextElideMode(Qt::ElideMiddle);
    overview_->setMinimumWidth(200);
    caption->setBuddy(overview_);
    layout->addWidget(missingOnly_);
    layout->addWidget(caption);
    layout->addWidget(overview_, 1);
    auto* contextCaption = new QLabel("Conte&xt", panel);
    context_ = new QLabel(panel);
    context_->setObjectName("Context");
    context_->setAccessibleDescription("The link and caption the image stands in, and the page's text around it");
    context_->setTextFormat(Qt::PlainText); // words from the page are never markup
    context_->setWordWrap(true);
    context_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    context_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    context_->setFocusPolicy(Qt::StrongFocus);
    context_->setFrameShape(QFrame::StyledPanel);
    context_->setMinimumHeight(5 * fontMetrics().lineSpacing());
    context_->setMaximumWidth(overview_->minimumWidth() + 60);
    contextCaption->setBuddy(context_);
    layout->addWidget(contextCaption);
    layout->addWidget(context_);
    dock->setWidget(panel);

    indexing_ = new QLabel(this);
    indexing_->setObjectName("Indexing");
    indexing_->setAccessibleDescription("How far the reading of the site's pictures has come");
    statusBar()->addWidget(indexing_, 1);
    siteFolder_ = new QLabel(this);
    siteFolder_->setObjectName("SiteFolder");
    siteFolder_->setTextFormat(Qt::PlainText);
    statusBar()->addPermanentWidget(siteFolder_);
    indexTimer_ = new QTimer(this);
    indexTimer_->setInterval(200);
    connect(indexTimer_, &QTimer::timeout, this, [this] {
        editor_.siteIndexTick();
        if (!editor_.siteIndexTickDue())
            indexTimer_->stop();
        refresh();
    });
    addDockWidget(Qt::LeftDockWidgetArea, dock);

    connect(missingOnly_, &QCheckBox::clicked, this, [this](bool checked) {
        if (updating_)
            return;
        editor_.setMissingOnly(checked);
        refresh();
    });
    auto jump = [this](const QModelIndex& row) {
        if (updating_ || !row.isValid())
            return;
        const int index = row.data(OverviewModel::ImageRole).toInt();
        run([this, index] { editor_.jumpTo(index); });
        // The user types next, so a click leaves the list as Enter does: in the box, once it
        // shows the image (a decorative image's box is off: then on Decorative).
        if (!QApplication::activeModalWidget())
            (text1_->isEnabled() ? static_cast<QWidget*>(text1_) : decorative_)->setFocus();
    };
    connect(overview_, &QListView::clicked, this, jump);
    connect(overview_, &QListView::activated, this, jump);
}

void MainWindow::showHints()
{
    std::string hints = editor_.view().offer.Caption;
    if (!hints.empty() && !editor_.view().hint.Caption.empty())
        hints += ". ";
    showText(hint_, fromBytes(hints + editor_.view().hint.Caption), "ALT hints");
    showText(length_, fromBytes(editor_.view().length.Caption), "ALT length");
}

QString MainWindow::contextText() const
{
    const ImageContext& context = editor_.view().context;
    QStringList lines;
    if (context.linkHref)
        lines << "Link: " + fromBytes(*context.linkHref) +
                     (context.linkText.empty() ? QString() : QString(" \u201C%1\u201D").arg(fromBytes(context.linkText)));
    if (context.inFigure)
        lines << (context.caption.empty() ? QString("In a figure without a caption")
                                          : "Caption: \u201C" + fromBytes(context.caption) + "\u201D");
    if (!context.before.empty() || !context.after.empty())
        lines << "\u2026" + fromBytes(context.before) + " [image] " + fromBytes(context.after) + "\u2026";
    if (!editor_.view().uses.Caption.empty())
        lines << fromBytes(editor_.view().uses.Caption);
    return lines.join('\n');
}

void MainWindow::refreshOverview()
{
    overviewModel_->follow(editor_.view().missingOnly.Value);
    const int row = overviewModel_->rowOf(editor_.shownIndex());
    if (overview_->currentIndex().row() == row)
        return;
    const bool wasUpdating = std::exchange(updating_, true);
    overview_->setCurrentIndex(overviewModel_->index(row));
    updating_ = wasUpdating;
}

QAction* MainWindow::menuAction(const MenuItem& item, const char* name, std::function<void()> command)
{
    auto* action = new QAction(QString::fromStdString(item.Caption), this);
    action->setObjectName(name);
    actions_[&item] = action;
    if (command)
        connect(action, &QAction::triggered, this, [this, command = std::move(command)] { run(command); });
    return action;
}

void MainWindow::createToolBar()
{
    toolbar_ = new QToolBar(central_);
    toolbar_->setObjectName("Toolbar1");
    toolbar_->setAccessibleName("Toolbar");
    toolbar_->setIconSize(QSize(24, 24));
    toolbar_->setFixedHeight(28);
    for (const ToolbarButton& button : editor_.view().toolbar) {
        if (button.separator()) {
            toolbar_->addSeparator();
            continue;
        }
        QIcon icon(":/icons/" + QString::fromStdString(button.Image).toLower() + ".png");
        QAction* action = toolbar_->addAction(icon, QString::fromStdString(button.ToolTipText));
        action->setObjectName(QString::fromStdString("Toolbar1_" + button.Key));
        action->setToolTip(QString::fromStdString(button.ToolTipText));
        std::string key = button.Key;
        connect(action, &QAction::triggered, this, [this, key] { run([this, key] { editor_.toolbarButton(key); }); });
    }
}

void MainWindow::refresh()
{
    refreshPending_ = false;
    updating_ = true;
    setWindowTitle(titleText(editor_.view().title));
    for (auto& [state, button] : buttons_) {
        button->setText(QString::fromStdString(state->Caption));
        button->setVisible(state->Visible && button != keep_);
        button->setEnabled(state->Enabled);
    }
    preview_->setEnabled(editor_.pageOpen());
    for (auto& [state, action] : actions_) {
        action->setEnabled(state->Enabled);
        action->setVisible(state->Visible);
    }
    helpMenu_->setEnabled(editor_.view().helpMenu.Enabled);
    if (text4_->text() != fromBytes(editor_.view().searchNote.Text())) {
        text4_->setText(fromBytes(editor_.view().searchNote.Text()));
        text4_->setCursorPosition(0);
    }
    QLabel* labels[] = {label1_, label2_, label3_, label4_, label5_};
    const Label* states[] = {&editor_.view().imageCounter, &editor_.view().altCaption, &batch_.view().progress, &editor_.view().version, &editor_.view().imageName};
    for (int i = 0; i < 5; ++i) {
        if (labels[i] != label5_) // showPicture() adds the picture's size to the name
            labels[i]->setText(fromBytes(states[i]->Caption));
        labels[i]->setVisible(states[i]->Visible);
    }
    fitCaptions();
    decorative_->setChecked(editor_.view().decorative.Value);
    decorative_->setEnabled(editor_.view().decorative.Enabled);
    missingOnly_->setChecked(editor_.view().missingOnly.Value);
    text1_->setEnabled(editor_.view().altBox.Enabled);
    showHints();
    showText(context_, contextText(), "Context");
    showText(indexing_, fromBytes(editor_.view().indexing.Caption), "Site index");
    showText(siteFolder_, fromBytes(editor_.view().siteFolder.Caption), "Site folder");
    // An index that ended before this redraw still has its offer to make.
    if (editor_.siteIndexTickDue() && !indexTimer_->isActive())
        indexTimer_->start();
    refreshOverview();
    // The ALT of an image just shown is selected, so that typing replaces it.
    std::pair<std::string, int> image{editor_.pagePath(), editor_.shownIndex()};
    bool select = image != shownImage_;
    shownImage_ = std::move(image);
    if (toBytes(text1_->toPlainText()) != editor_.view().altBox.Text()) {
        text1_->setPlainText(fromBytes(editor_.view().altBox.Text()));
        select = true;
    }
    if (select) {
        text1_->selectAll();
        text1_->document()->clearUndoRedoStacks(); // typing for another image is not the box's to take back
    }
    showPicture();
    updating_ = false;
}

void MainWindow::fitCaptions()
{
    // The first widths hold every row with its captions as they are now, so that only the
    // room beyond them is shared. Over the image view, the widest count leaves room for a
    // picture's size beside it.
    const int countAndSize = fontMetrics().horizontalAdvance(QString(kWidestCounter) + "  9999 \u00D7 9999") + 6;
    int first[] = {std::max(px(3735), countAndSize), 0, 15 + px(3975), 0};
    for (int at = 0; at < columns_->count(); ++at) {
        int row = 0, column = 0, rows = 0, columns = 0;
        columns_->getItemPosition(at, &row, &column, &rows, &columns);
        first[column] = std::max(first[column], columns_->itemAt(at)->minimumSize().width());
    }
    for (int column : {PictureWidth, AltWidth})
        if (columns_->columnMinimumWidth(column) != first[column])
            columns_->setColumnMinimumWidth(column, first[column]);
    // A new count changes the counter's width, and so the name's room.
    central_->layout()->activate();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // refresh() shows the picture itself once it is done.
    if ((watched == picture1_ || watched == label5_) && event->type() == QEvent::Resize && !updating_)
        showPicture();
    // Ctrl+Z and Ctrl+Y take back the box's own typing while it has some, then the page's writes.
    if (watched == text1_ && event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->matches(QKeySequence::Undo) && !text1_->document()->isUndoAvailable()) ||
            (key->matches(QKeySequence::Redo) && !text1_->document()->isRedoAvailable())) {
            text1_->document()->clearUndoRedoStacks(); // from here on the keys are the page's
            key->ignore();
            return true;
        }
    }
    if (watched == text1_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // An ALT is one line: Enter goes on to the next image, Shift+Enter back.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            QPushButton* button = buttons_[key->modifiers() & Qt::ShiftModifier ? &editor_.view().backButton : &editor_.view().nextButton];
            if (button->isVisible())
                button->click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

namespace {
constexpr const char* kPlaceKey = "MainWindowPlace";
} // namespace

void MainWindow::savePlace()
{
    if (!places_)
        return;
    const QRect normal = isMaximized() ? normalGeometry() : QRect(pos(), size());
    std::ostringstream place;
    place << normal.x() << ' ' << normal.y() << ' ' << normal.width() << ' ' << normal.height() << ' '
          << (isMaximized() ? 1 : 0);
    // A place not kept is no loss worth a box while the program closes: it opens at the default one.
    (void)places_->saveSetting("bw", "brindlepad", kPlaceKey, place.str());
}

void MainWindow::restorePlace()
{
    if (!places_)
        return;
    std::istringstream place(places_->getSetting("bw", "brindlepad", kPlaceKey));
    int x = 0, y = 0, width = 0, height = 0, maximized = 0;
    if (!(place >> x >> y >> width >> height))
        return;
    place >> maximized;
    // Wholly on the screen it was on, or on the main screen when that one is gone.
    const QRect stored(x, y, width, height);
    QScreen* screen = QGuiApplication::screenAt(stored.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect room = screen->availableGeometry();
    winId(); // the frame the platform gives the window, where it knows it before showing
    const QMargins margins = windowHandle()->frameMargins();
    const QSize frame(margins.left() + margins.right(), margins.top() + margins.bottom());
    const QSize size = QSize(width, height).boundedTo(room.size() - frame).expandedTo(minimumSizeHint());
    resize(size);
    const QSize outer = this->size() + frame; // as large as the window's controls allow
    move(std::max(room.left(), std::min(x, room.right() + 1 - outer.width())),
         std::max(room.top(), std::min(y, room.bottom() + 1 - outer.height())));
    if (maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::showPicture()
{
    const PictureBox& box = editor_.view().picture;
    picture1_->setVisible(box.Visible);
    const QSize room = picture1_->contentsRect().size();
    if (!pictureDecoded_ || box.Picture != shownPicture_ || box.Data != shownData_ || box.Note != shownNote_ ||
        room != shownRoom_) {
        shownPicture_ = box.Picture;
        shownData_ = box.Data;
        shownNote_ = box.Note;
        shownRoom_ = room;
        pictureDecoded_ = true;
        decodePicture(room);
    }
    // The label is only as wide as the view: a long name gives way in its middle so that
    // its extension and the size stay in sight; the tooltip has it whole.
    const QString name = fromBytes(editor_.view().imageName.Caption);
    const QString size = pictureSize_.isValid()
                             ? QString(name.isEmpty() ? "%1 \u00D7 %2" : "  %1 \u00D7 %2")
                                   .arg(pictureSize_.width())
                                   .arg(pictureSize_.height())
                             : QString();
    const QFontMetrics metrics(label5_->font());
    const int width = label5_->contentsRect().width();
    QString shown = name + size;
    if (metrics.horizontalAdvance(shown) > width)
        shown = metrics.elidedText(name, Qt::ElideMiddle, std::max(0, width - metrics.horizontalAdvance(size))) + size;
    label5_->setText(shown);
    label5_->setToolTip(name + size);
    // A screen reader says which image is shown.
    picture1_->setAccessibleName(name.isEmpty() ? QString("No image") : name);
}

void MainWindow::decodePicture(QSize room)
{
    picture1_->setToolTip(fromPath(shownPicture_));
    picture1_->clear();
    pictureSize_ = QSize();
    const PictureSource source = PictureSource::of(shownPicture_, shownData_);
    if (source.empty()) {
        viewKey_.clear();
        pictures_->cancel(PictureLoader::Lane::View);
        picture1_->setText(fromBytes(shownNote_));
        return;
    }
    viewKey_ = source.key();
    viewRoom_ = room * devicePixelRatioF();
    if (const Picture* known = pictures_->picture(source, viewRoom_, PictureLoader::Lane::View))
        showDecoded(*known);
}

void MainWindow::showDecoded(const Picture& picture)
{
    pictureSize_ = picture.own;
    if (picture.pixmap.isNull()) {
        picture1_->setText(picture.problem);
        return;
    }
    QPixmap pixmap = picture.pixmap;
    if (picture.fitted)
        pixmap.setDevicePixelRatio(devicePixelRatioF());
    picture1_->setPixmap(pixmap);
}

void MainWindow::focusControl(std::string_view control)
{
    if (auto* widget = central_->findChild<QWidget*>(QString::fromUtf8(control.data(), static_cast<qsizetype>(control.size()))))
        widget->setFocus();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!ending_) {
        SpeakingFor speaking(this);
        const bool close = editor_.mayClose();
        refresh();
        if (!close) {
            event->ignore(); // Cancel: the program goes on
            return;
        }
        ending_ = true; // the question is asked once, however the window goes away
    }
    savePlace();
    event->accept();
}

} // namespace bw
