#include "app/qt/MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QListView>
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

QLabel* makeLabel(QWidget* parent, const char* name, const char* role, QRect geometry)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAccessibleDescription(role);
    label->setGeometry(geometry);
    return label;
}
} // namespace

MainWindow::MainWindow(Form1& form, QWidget* parent) : QMainWindow(parent), form_(form)
{
    setObjectName("Form1");
    setWindowIcon(QIcon(":/icons/brindlework.png"));

    central_ = new QWidget(this);
    central_->setMinimumSize(kClientWidth, kClientHeight);
    setCentralWidget(central_);

    // Menus.
    auto* file = menuBar()->addMenu("&File");
    file->setObjectName("f");
    menuAction(file, form_.n, "n", &Form1::n_Click)->setShortcut(QKeySequence("Ctrl+N"));
    menuAction(file, form_.o, "o", &Form1::fileopen)->setShortcut(QKeySequence("Ctrl+O"));
    menuAction(file, form_.s, "s", &Form1::s_Click)->setShortcut(QKeySequence("Ctrl+S"));
    menuAction(file, form_.sa, "sa", &Form1::sa_Click)->setShortcut(QKeySequence("Ctrl+Shift+S"));
    // The toolbar's Preview, for the keyboard.
    preview_ = file->addAction("Pre&view in Browser");
    preview_->setObjectName("preview");
    preview_->setShortcut(QKeySequence("F12"));
    connect(preview_, &QAction::triggered, this, [this] { run([this] { form_.preview(); }); });
    file->addSeparator();
    menuAction(file, form_.e, "e", &Form1::e_Click)->setShortcut(QKeySequence("Ctrl+Q"));
    // Alt+S belongs to the "&Save" button, so the Setup menu answers to Alt+T.
    auto* setup = menuBar()->addMenu("Se&tup");
    menuAction(setup, form_.pr, "pr", nullptr);
    // Alt+F is File's.
    auto* ftp = menuBar()->addMenu("FT&P");
    auto* ftpSetup = ftp->addMenu("Setup");
    menuAction(ftpSetup, form_.url, "url", &Form1::url_Click);
    menuAction(ftpSetup, form_.na, "na", &Form1::na_Click);
    menuAction(ftpSetup, form_.pass, "pass", &Form1::pass_Click);
    auto* batch = menuBar()->addMenu("&Batch");
    auto* batchNew = batch->addMenu("New");
    menuAction(batchNew, form_.l, "l", &Form1::l_Click);
    // The FTP window comes with its own change.
    menuAction(batchNew, form_.ftpa, "ftpa", &Form1::ftpa_Click);
    menuAction(batch, form_.up, "up", &Form1::up_Click)->setShortcut(QKeySequence("Ctrl+U"));
    menuAction(batch, form_.sc, "sc", &Form1::sc_Click);
    helpMenu_ = menuBar()->addMenu(QString::fromStdString(form_.h.Caption));
    helpMenu_->setObjectName("h");
    menuAction(helpMenu_, form_.su, "su", &Form1::su_Click)->setShortcut(QKeySequence("F1"));
    menuAction(helpMenu_, form_.ab, "ab", &Form1::ab_Click);

    buildToolbar();

    auto* submit = new QPushButton(central_);
    submit->setObjectName("Command6");
    // Captions are known now; a larger desktop font widens the controls that show them.
    auto textWidth = [this](const std::string& text) { return fontMetrics().horizontalAdvance(fromBytes(text)); };
    const int submitWidth = std::max(100, textWidth(form_.Command6.Caption) + 16);
    submit->setGeometry(8, px(480), submitWidth, 24);
    buttons_[&form_.Command6] = submit;

    text4_ = new QLineEdit(central_);
    text4_->setObjectName("Text4");
    text4_->setReadOnly(true);
    text4_->setAccessibleName("Search engine information");
    text4_->setGeometry(14 + submitWidth, px(480), 444 - (14 + submitWidth), 24);
    label4_ = makeLabel(central_, "Label4", "Version", QRect(452, px(480) + 4, 86, 16));
    label4_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The counter holds the longest count in the desktop's font; the image name takes
    // what is left of the room over the image view (refresh() fits both to their text).
    const int rowHeight = fontMetrics().height() + 2;
    const int counterWidth = textWidth(kWidestCounter) + 4;
    const int nameLeft = 8 + counterWidth + 6;
    label1_ = makeLabel(central_, "Label1", "Image counter", QRect(8, px(960), counterWidth, rowHeight));
    label5_ = makeLabel(central_, "Label5", "Image name",
                        QRect(nameLeft, px(960), std::max(0, 8 + px(3735) - nameLeft), rowHeight));
    label5_->setTextFormat(Qt::PlainText);
    const int captionWidth = std::max(60, textWidth(form_.Label2.Caption) + 4);
    label2_ = makeLabel(central_, "Label2", "Caption of the ALT text box", QRect(272, px(960), captionWidth, rowHeight));
    label3_ = makeLabel(central_, "Label3", "Batch progress",
                        QRect(std::max(336, 276 + captionWidth), px(960), 70, rowHeight));
    auto* next = new QPushButton(central_);
    next->setObjectName("Command7");
    next->setGeometry(412, px(960) - 4, 125, 20);
    buttons_[&form_.Command7] = next;

    picture1_ = new QLabel(central_);
    picture1_->setObjectName("Picture1");
    picture1_->setAccessibleName("Image view");
    picture1_->setAccessibleDescription("The current image of the page");
    picture1_->setGeometry(8, px(1200), px(3735), px(2535));
    picture1_->setFrameShape(QFrame::StyledPanel);
    picture1_->setAlignment(Qt::AlignCenter);
    // A note or the reason a picture cannot be shown; names from a page are never markup.
    picture1_->setTextFormat(Qt::PlainText);
    picture1_->setWordWrap(true);

    // Under the ALT box: the rules' hints (two lines), then Decorative and the length.
    decorative_ = new QCheckBox(QString::fromStdString(form_.Decorative.Caption), central_);
    decorative_->setObjectName("Decorative");
    decorative_->setAccessibleDescription("The image only decorates the page: it gets an empty ALT");
    const int checkHeight = decorative_->sizeHint().height();
    const int hintHeight = 2 * fontMetrics().lineSpacing() + 2;
    const int boxHeight = px(2535) - hintHeight - checkHeight - 4;
    hint_ = makeLabel(central_, "Hint", "What the ALT rules say of the text", QRect(272, px(1200) + boxHeight + 2, px(3975), hintHeight));
    hint_->setTextFormat(Qt::PlainText);
    hint_->setWordWrap(true);
    hint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hint_->setAccessibleName("ALT hints");
    const int checkTop = px(1200) + boxHeight + hintHeight + 4;
    const int lengthWidth = textWidth("999 / 150") + 6;
    decorative_->setGeometry(272, checkTop, px(3975) - lengthWidth, checkHeight);
    length_ = makeLabel(central_, "Length", "The ALT text's length in characters",
                        QRect(272 + px(3975) - lengthWidth, checkTop, lengthWidth, checkHeight));
    length_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    length_->setAccessibleName("ALT length");
    connect(decorative_, &QCheckBox::clicked, this, [this](bool checked) {
        if (updating_)
            return;
        run([this, checked] {
            form_.Decorative.Value = checked;
            form_.Decorative_Click();
        });
    });

    text1_ = new QPlainTextEdit(central_);
    text1_->setObjectName("Text1");
    text1_->setGeometry(272, px(1200), px(3975), boxHeight);
    text1_->setTabChangesFocus(true);
    text1_->installEventFilter(this); // Enter is NEXT, Shift+Enter BACK
    text1_->setAccessibleName("Alt text");
    text1_->setAccessibleDescription("The alternative text of the current image");
    label2_->setBuddy(text1_);
    connect(text1_, &QPlainTextEdit::textChanged, this, [this] {
        if (updating_)
            return;
        form_.Text1.setText(toBytes(text1_->toPlainText()));
        // The hints follow the typing; nothing else changes while the user types.
        showHints();
    });

    // The bottom row sits in the strip under the image view, wholly inside the window: as
    // tall as the desktop's font asks, up to the room there is.
    auto* back = new QPushButton(central_);
    const int stripTop = px(1200) + px(2535) + 2;
    const int buttonHeight = std::min(back->sizeHint().height(), kClientHeight - 2 - stripTop);
    const int buttonTop = std::min(px(3840), kClientHeight - 2 - buttonHeight);
    back->setObjectName("Command5");
    back->setGeometry(8, buttonTop, 80, buttonHeight);
    buttons_[&form_.Command5] = back;
    auto* nextImage = new QPushButton(central_);
    nextImage->setObjectName("Command3");
    nextImage->setGeometry(94, buttonTop, 80, buttonHeight);
    buttons_[&form_.Command3] = nextImage;
    auto* everywhere = new QPushButton(central_);
    everywhere->setObjectName("UseEverywhere");
    everywhere->setAccessibleDescription("Write this ALT text into the picture's uses without one on the site's other pages");
    everywhere->setGeometry(272, buttonTop, std::min(textWidth(form_.UseEverywhere.Caption) + 20, kClientWidth - 96 - 272), buttonHeight);
    buttons_[&form_.UseEverywhere] = everywhere;
    auto* reset = new QPushButton(central_);
    reset->setObjectName("Command1");
    reset->setGeometry(kClientWidth - 88, buttonTop, 80, buttonHeight);
    buttons_[&form_.Command1] = reset;

    // Never shown and never focused: it answers to Alt+S only.
    auto* keep = new QPushButton(central_);
    keep->setObjectName("Command4");
    keep->setFocusPolicy(Qt::NoFocus);
    keep->hide();
    keep_ = keep;
    buttons_[&form_.Command4] = keep;
    auto* keepKey = new QAction(this);
    keepKey->setObjectName("keepKey");
    keepKey->setShortcut(QKeySequence("Alt+S"));
    addAction(keepKey);
    connect(keepKey, &QAction::triggered, keep, &QPushButton::click);

    const std::pair<QPushButton*, void (Form1::*)()> clicks[] = {
        {submit, &Form1::Command6_Click}, {back, &Form1::Command5_Click}, {nextImage, &Form1::Command3_Click},
        {reset, &Form1::Command1_Click},  {keep, &Form1::Command4_Click}, {next, &Form1::Command7_Click},
        {everywhere, &Form1::UseEverywhere_Click},
    };
    for (auto [button, handler] : clicks)
        connect(button, &QPushButton::clicked, this, [this, handler = handler] { run([this, handler] { (form_.*handler)(); }); });

    setTabOrder(text1_, decorative_);
    setTabOrder(decorative_, nextImage);
    setTabOrder(nextImage, back);
    setTabOrder(back, everywhere);
    setTabOrder(everywhere, reset);
    setTabOrder(reset, submit);
    setTabOrder(submit, text4_);
    text1_->setFocus();

    using F = Follow;
    for (Anchor anchor : std::initializer_list<Anchor>{
             {toolbar_, {}, F::None, F::Whole, false, false},
             {text4_, {}, F::None, F::Whole, false, false},
             {label4_, {}, F::Whole, F::None, false, false},
             {label2_, {}, F::Picture, F::None, false, false},
             {label3_, {}, F::Picture, F::None, false, false},
             {next, {}, F::Whole, F::None, false, false},
             {picture1_, {}, F::None, F::Picture, false, true},
             {text1_, {}, F::Picture, F::Text, false, true},
             {hint_, {}, F::Picture, F::Text, true, false},
             {decorative_, {}, F::Picture, F::Text, true, false},
             {length_, {}, F::Whole, F::None, true, false},
             {back, {}, F::None, F::None, true, false},
             {nextImage, {}, F::None, F::None, true, false},
             {reset, {}, F::Whole, F::None, true, false},
             {everywhere, {}, F::Picture, F::None, true, false},
         }) {
        anchor.base = anchor.widget->geometry();
        anchors_.push_back(anchor);
    }
    central_->installEventFilter(this);
    buildOverview();
    resize(sizeHint());

    // The page and the batch may change from another window (the batch or FTP window): redraw
    // once the handler that changed them is done. The overview's rows follow the notices themselves.
    notices_ = form_.subscribe([this](const PageDocument::Notice&) {
        if (std::exchange(refreshPending_, true))
            return;
        QMetaObject::invokeMethod(this, [this] {
            refreshPending_ = false;
            refresh();
        }, Qt::QueuedConnection);
    });
    refresh();
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
    missingOnly_ = new QCheckBox(QString::fromStdString(form_.MissingOnly.Caption), panel);
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
    overviewModel_ = new OverviewModel(form_, *pictures_, this);
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
    auto* contextCaption = new QLabel("Con&text", panel);
    context_ = new QLabel(panel);
    context_->setObjectName("Context");
    context_->setAccessibleName("Context");
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
    indexing_->setAccessibleName("Site index");
    statusBar()->addWidget(indexing_, 1);
    indexTimer_ = new QTimer(this);
    indexTimer_->setInterval(200);
    connect(indexTimer_, &QTimer::timeout, this, [this] {
        if (!form_.siteIndexing())
            indexTimer_->stop();
        form_.siteIndexTick();
        refresh();
    });
    addDockWidget(Qt::LeftDockWidgetArea, dock);

    connect(missingOnly_, &QCheckBox::clicked, this, [this](bool checked) {
        if (updating_)
            return;
        form_.MissingOnly.Value = checked;
        refresh();
    });
    auto jump = [this](const QModelIndex& row) {
        if (updating_ || !row.isValid())
            return;
        const int index = row.data(OverviewModel::ImageRole).toInt();
        run([this, index] { form_.Overview_Click(index); });
    };
    connect(overview_, &QListView::clicked, this, jump);
    connect(overview_, &QListView::activated, this, jump);
}

void MainWindow::showHints()
{
    std::string hints = form_.Offer.Caption;
    if (!hints.empty() && !form_.Hint.Caption.empty())
        hints += ". ";
    hint_->setText(fromBytes(hints + form_.Hint.Caption));
    length_->setText(fromBytes(form_.Length.Caption));
}

QString MainWindow::contextText() const
{
    const ImageContext& context = form_.Context;
    QStringList lines;
    if (context.linkHref)
        lines << "Link: " + fromBytes(*context.linkHref) +
                     (context.linkText.empty() ? QString() : QString(" \u201C%1\u201D").arg(fromBytes(context.linkText)));
    if (context.inFigure)
        lines << (context.caption.empty() ? QString("In a figure without a caption")
                                          : "Caption: \u201C" + fromBytes(context.caption) + "\u201D");
    if (!context.before.empty() || !context.after.empty())
        lines << "\u2026" + fromBytes(context.before) + " [image] " + fromBytes(context.after) + "\u2026";
    return lines.join('\n');
}

void MainWindow::refreshOverview()
{
    overviewModel_->follow(form_.MissingOnly.Value);
    const int row = overviewModel_->rowOf(form_.List1.ListIndex());
    if (overview_->currentIndex().row() == row)
        return;
    const bool wasUpdating = std::exchange(updating_, true);
    overview_->setCurrentIndex(overviewModel_->index(row));
    updating_ = wasUpdating;
}

QAction* MainWindow::menuAction(QMenu* menu, MenuItem& item, const char* name, void (Form1::*handler)())
{
    QAction* action = menu->addAction(QString::fromStdString(item.Caption));
    action->setObjectName(name);
    actions_[&item] = action;
    if (handler)
        connect(action, &QAction::triggered, this, [this, handler] { run([this, handler] { (form_.*handler)(); }); });
    return action;
}

void MainWindow::buildToolbar()
{
    toolbar_ = new QToolBar(central_);
    toolbar_->setObjectName("Toolbar1");
    toolbar_->setAccessibleName("Toolbar");
    toolbar_->setGeometry(0, 0, kClientWidth, 28);
    toolbar_->setIconSize(QSize(24, 24));
    for (const ToolbarButton& button : form_.Toolbar1) {
        if (button.separator()) {
            toolbar_->addSeparator();
            continue;
        }
        QIcon icon(":/icons/" + QString::fromStdString(button.Image).toLower() + ".png");
        QAction* action = toolbar_->addAction(icon, QString::fromStdString(button.ToolTipText));
        action->setObjectName(QString::fromStdString("Toolbar1_" + button.Key));
        action->setToolTip(QString::fromStdString(button.ToolTipText));
        std::string key = button.Key;
        connect(action, &QAction::triggered, this, [this, key] { run([this, key] { form_.Toolbar1_ButtonClick(key); }); });
    }
}

void MainWindow::refresh()
{
    updating_ = true;
    setWindowTitle(titleText(form_.Caption));
    for (auto& [state, button] : buttons_) {
        button->setText(QString::fromStdString(state->Caption));
        button->setVisible(state->Visible && button != keep_);
        button->setEnabled(state->Enabled);
    }
    preview_->setEnabled(form_.pageOpen());
    for (auto& [state, action] : actions_) {
        action->setEnabled(state->Enabled);
        action->setVisible(state->Visible);
    }
    helpMenu_->setEnabled(form_.h.Enabled);
    if (text4_->text() != fromBytes(form_.Text4.Text())) {
        text4_->setText(fromBytes(form_.Text4.Text()));
        text4_->setCursorPosition(0);
    }
    QLabel* labels[] = {label1_, label2_, label3_, label4_, label5_};
    const Label* states[] = {&form_.Label1, &form_.Label2, &form_.Label3, &form_.Label4, &form_.Label5};
    for (int i = 0; i < 5; ++i) {
        if (labels[i] != label5_) // showPicture() adds the picture's size to the name
            labels[i]->setText(fromBytes(states[i]->Caption));
        labels[i]->setVisible(states[i]->Visible);
    }
    fitCaptions();
    decorative_->setChecked(form_.Decorative.Value);
    decorative_->setEnabled(form_.Decorative.Enabled);
    missingOnly_->setChecked(form_.MissingOnly.Value);
    text1_->setEnabled(form_.Text1.Enabled);
    showHints();
    context_->setText(contextText());
    indexing_->setText(fromBytes(form_.Indexing.Caption));
    if (form_.siteIndexing() && !indexTimer_->isActive())
        indexTimer_->start();
    refreshOverview();
    // The ALT of an image just shown is selected, so that typing replaces it.
    std::pair<std::string, int> image{form_.Text6.Text(), form_.List1.ListIndex()};
    bool select = image != shownImage_;
    shownImage_ = std::move(image);
    if (toBytes(text1_->toPlainText()) != form_.Text1.Text()) {
        text1_->setPlainText(fromBytes(form_.Text1.Text()));
        select = true;
    }
    if (select)
        text1_->selectAll();
    showPicture();
    updating_ = false;
}

void MainWindow::fitCaptions()
{
    // The counter is as wide as its count; the image name and size take the rest of the room
    // over the image view.
    const QRect counter = label1_->geometry();
    const int counterWidth = label1_->fontMetrics().horizontalAdvance(label1_->text()) + 4;
    label1_->setGeometry(counter.x(), counter.y(), counterWidth, counter.height());
    const int nameLeft = counter.x() + counterWidth + 8;
    label5_->setGeometry(nameLeft, counter.y(), std::max(0, picture1_->geometry().right() - nameLeft), counter.height());
}

void MainWindow::placeControls()
{
    const int dx = std::max(0, central_->width() - kClientWidth);
    const int dy = std::max(0, central_->height() - kClientHeight);
    // The image view takes the larger share of the width; an ALT is a line or two of text.
    const int picture = dx * 3 / 5;
    auto share = [&](Follow follow) {
        switch (follow) {
        case Follow::None: return 0;
        case Follow::Picture: return picture;
        case Follow::Text: return dx - picture;
        case Follow::Whole: return dx;
        }
        return 0;
    };
    for (const Anchor& a : anchors_)
        a.widget->setGeometry(a.base.x() + share(a.moveX), a.base.y() + (a.moveY ? dy : 0), a.base.width() + share(a.growX),
                              a.base.height() + (a.growY ? dy : 0));
    fitCaptions();
    showPicture();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == central_ && event->type() == QEvent::Resize && !anchors_.empty())
        placeControls();
    if (watched == text1_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // An ALT is one line: Enter goes on to the next image, Shift+Enter back.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            QPushButton* button = buttons_[key->modifiers() & Qt::ShiftModifier ? &form_.Command5 : &form_.Command3];
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
    const PictureBox& box = form_.Picture1;
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
    const QString name = fromBytes(form_.Label5.Caption);
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
        const bool close = form_.Form_Unload();
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
