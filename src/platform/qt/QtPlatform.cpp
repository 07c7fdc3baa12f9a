#include "platform/qt/QtPlatform.h"

#include <algorithm>

#include <QAccessibleWidget>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QDialogButtonBox>
#include <QLabel>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace bw {

QString fromBytes(const std::string& bytes)
{
    QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString utf8 = QString::fromUtf8(raw);
    if (utf8.toUtf8() == raw)
        return utf8;
    return QString::fromLatin1(raw);
}

std::string toBytes(const QString& text)
{
    QByteArray raw = text.toUtf8();
    return std::string(raw.constData(), static_cast<size_t>(raw.size()));
}

QString fromPath(const std::string& path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string toPath(const QString& path)
{
    QByteArray raw = QFile::encodeName(path);
    return std::string(raw.constData(), static_cast<size_t>(raw.size()));
}

QStringList nameFilters(const std::string& filter)
{
    QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString& pattern = parts[i + 1];
        if (!description.endsWith("(" + pattern + ")"))
            description += " (" + pattern + ")";
        filters << description;
    }
    return filters;
}

QString titleText(const std::string& title)
{
    // Qt turns "[*][*]" back into "[*]" and hides a single one.
    return fromBytes(title).replace("[*]", "[*][*]");
}

namespace {
QPointer<QWidget> speaker;
} // namespace

void redrawViews()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* view = dynamic_cast<StateView*>(window); view && window->isVisible())
            view->refresh();
}

SpeakingFor::SpeakingFor(QWidget* window) : previous_(speaker) { speaker = window ? window->window() : nullptr; }
SpeakingFor::~SpeakingFor() { speaker = previous_; }

QWidget* dialogOwner()
{
    // A box asked for while another box is open belongs to that box.
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (speaker)
        return speaker;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (dynamic_cast<StateView*>(window) && window->isVisible())
            return window;
    return nullptr;
}

namespace {
// Every box: the windows are drawn as they stand before it shows. And hiding a box leaves no
// window active until the window system hands activation back, which some do late or never;
// the window's shortcuts are dead meanwhile, though its keys still reach its focus widget
// (Alt+S typed "s" into the ALT box). So the box hands it back itself.
class ShowingBox {
public:
    ShowingBox()
    {
        redrawViews();
        owner_ = dialogOwner();
    }
    ~ShowingBox()
    {
        if (owner_ && owner_->isVisible() && !QApplication::activeWindow())
            owner_->activateWindow();
    }
    ShowingBox(const ShowingBox&) = delete;
    ShowingBox& operator=(const ShowingBox&) = delete;

private:
    QPointer<QWidget> owner_;
};
} // namespace

Answer QtDialogs::msgBox(const std::string& text, Buttons buttons, const std::string& title, Answer defaultAnswer)
{
    const ShowingBox showing;
    QMessageBox box(dialogOwner());
    box.setWindowTitle(titleText(title));
    box.setText(fromBytes(text));
    box.setIcon(buttons == Buttons::YesNo ? QMessageBox::Question : QMessageBox::Information);
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

bool QtDialogs::showOpen(FileDialog& dialog) { return show(dialog, false); }
bool QtDialogs::showSave(FileDialog& dialog) { return show(dialog, true); }

bool QtDialogs::show(FileDialog& dialog, bool save)
{
    const ShowingBox showing;
    QFileDialog box(dialogOwner());
    box.setWindowTitle(save ? "Save As" : "Open");
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The program asks its own overwrite question.
    box.setOption(QFileDialog::DontConfirmOverwrite, true);
    box.setOption(QFileDialog::ReadOnly, false);
    QStringList filters = nameFilters(dialog.Filter);
    if (!filters.isEmpty()) {
        box.setNameFilters(filters);
        int index = std::clamp(dialog.FilterIndex, 1, static_cast<int>(filters.size())) - 1;
        box.selectNameFilter(filters[index]);
    }
    if (save)
        box.setDefaultSuffix("html");
    if (!dialog.FileName.empty()) {
        QFileInfo last(fromPath(dialog.FileName));
        if (last.dir().exists())
            box.setDirectory(last.dir());
        box.selectFile(last.fileName());
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return false;
    QString chosen = box.selectedFiles().constFirst();
    dialog.FileName = toPath(chosen);
    dialog.FileTitle = toPath(QFileInfo(chosen).fileName());
    int chosenFilter = static_cast<int>(filters.indexOf(box.selectedNameFilter()));
    if (chosenFilter >= 0)
        dialog.FilterIndex = chosenFilter + 1;
    return true;
}

std::vector<std::string> QtDialogs::showOpenMany(FileDialog& dialog)
{
    const ShowingBox showing;
    QFileDialog box(dialogOwner());
    box.setWindowTitle("Add files");
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::ExistingFiles);
    QStringList filters = nameFilters(dialog.Filter);
    const QString name = fromPath(dialog.FileName);
    // A bare description with a pattern for a name: the pattern is the filter.
    if (filters.isEmpty() && name.contains('*'))
        filters << fromBytes(dialog.Filter) + " (" + name + ")";
    if (!filters.isEmpty()) {
        box.setNameFilters(filters);
        int index = std::clamp(dialog.FilterIndex, 1, static_cast<int>(filters.size())) - 1;
        box.selectNameFilter(filters[index]);
    }
    if (!name.isEmpty() && !name.contains('*')) {
        QFileInfo last(name);
        if (last.dir().exists())
            box.setDirectory(last.dir());
    }
    std::vector<std::string> chosen;
    if (box.exec() != QDialog::Accepted)
        return chosen;
    for (const QString& file : box.selectedFiles())
        chosen.push_back(toPath(file));
    if (!chosen.empty()) {
        dialog.FileName = chosen.back();
        dialog.FileTitle = toPath(QFileInfo(box.selectedFiles().constLast()).fileName());
    }
    return chosen;
}

std::optional<std::string> QtDialogs::chooseFolder(const std::string& title, const std::string& start)
{
    const ShowingBox showing;
    QFileDialog box(dialogOwner());
    box.setWindowTitle(titleText(title));
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::Directory);
    box.setOption(QFileDialog::ShowDirsOnly);
    if (!start.empty() && QFileInfo(fromPath(start)).isDir())
        box.setDirectory(fromPath(start));
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return toPath(box.selectedFiles().constFirst());
}

int QtDialogs::choose(const std::string& text, const std::string& title, const std::vector<std::string>& choices,
                      int defaultChoice, int cancelChoice)
{
    const ShowingBox showing;
    QMessageBox box(dialogOwner());
    box.setWindowTitle(titleText(title));
    box.setText(fromBytes(text));
    box.setIcon(QMessageBox::Question);
    std::vector<QPushButton*> buttons;
    for (size_t i = 0; i < choices.size(); ++i) {
        const auto role = static_cast<int>(i) == cancelChoice ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        buttons.push_back(box.addButton(fromBytes(choices[i]), role));
    }
    if (defaultChoice >= 0 && static_cast<size_t>(defaultChoice) < buttons.size())
        box.setDefaultButton(buttons[static_cast<size_t>(defaultChoice)]);
    if (cancelChoice >= 0 && static_cast<size_t>(cancelChoice) < buttons.size())
        box.setEscapeButton(buttons[static_cast<size_t>(cancelChoice)]);
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? cancelChoice : static_cast<int>(chosen - buttons.begin());
}

namespace {
// A long text to read and copy from, in a box sized to the screen it is on.
QPlainTextEdit* readOnlyText(QDialog& box, const std::string& text, const char* name, const QString& accessibleName)
{
    auto* view = new QPlainTextEdit(fromBytes(text), &box);
    view->setObjectName(name);
    view->setReadOnly(true);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setAccessibleName(accessibleName);
    const QRect room = (box.screen() ? box.screen() : QGuiApplication::primaryScreen())->availableGeometry();
    box.resize(std::min(760, room.width() * 9 / 10), std::min(480, room.height() * 8 / 10));
    return view;
}
} // namespace

void QtDialogs::showText(const std::string& text, const std::string& title)
{
    const ShowingBox showing;
    QDialog box(dialogOwner());
    box.setObjectName("TextView");
    box.setWindowTitle(titleText(title));
    auto* view = readOnlyText(box, text, "Text", titleText(title));
    auto* close = new QPushButton("Close", &box);
    close->setObjectName("Close");
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, &box, &QDialog::accept);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(view);
    layout->addWidget(close, 0, Qt::AlignRight);
    view->setFocus();
    box.exec();
}

bool QtDialogs::confirmList(const std::string& text, const std::string& list, const std::string& title)
{
    const ShowingBox showing;
    QDialog box(dialogOwner());
    box.setObjectName("ListQuestion");
    box.setWindowTitle(titleText(title));
    auto* question = new QLabel(fromBytes(text), &box);
    question->setWordWrap(true);
    auto* view = readOnlyText(box, list, "List", fromBytes(text));
    question->setBuddy(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(question);
    layout->addWidget(view);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Ok)->setFocus();
    return box.exec() == QDialog::Accepted;
}

std::optional<std::string> QtDialogs::inputBox(const std::string& prompt, const std::string& title,
                                               const std::string& initial, bool masked)
{
    const ShowingBox showing;
    QInputDialog box(dialogOwner());
    box.setWindowTitle(titleText(title));
    box.setLabelText(fromBytes(prompt));
    box.setInputMode(QInputDialog::TextInput);
    box.setTextEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    box.setTextValue(fromBytes(initial));
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return toBytes(box.textValue());
}

void QtShell::open(const std::string& target)
{
    QString text = fromPath(target);
    QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
    if (!QDesktopServices::openUrl(url))
        dialogs_.msgBox("No web browser could be started to show\n" + target +
                            "\n\nOpen it in your browser yourself, or set a default browser on your desktop.",
                        Buttons::Ok, "BRINDLEWORK");
}

void placeBeside(QWidget* window, const QWidget* main)
{
    window->adjustSize();
    const QRect mainFrame = main->frameGeometry();
    const QRect room = main->screen()->availableGeometry();
    // A window not yet shown has no frame: it gets the main window's.
    const QRect inner = main->geometry();
    const QMargins frame(inner.left() - mainFrame.left(), inner.top() - mainFrame.top(),
                         mainFrame.right() - inner.right(), mainFrame.bottom() - inner.bottom());
    const QSize size = window->size().grownBy(frame);
    constexpr int gap = 8;
    QPoint at(mainFrame.center().x() - size.width() / 2, mainFrame.top());
    if (mainFrame.right() + gap + size.width() <= room.right())
        at.setX(mainFrame.right() + gap);
    else if (mainFrame.left() - gap - size.width() >= room.left())
        at.setX(mainFrame.left() - gap - size.width());
    at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - size.width())));
    at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - size.height())));
    window->move(at);
}

namespace {
constexpr const char* kRoleProperty = "bwAccessibleRole";

class LabelledComboAccessible final : public QAccessibleWidget {
public:
    explicit LabelledComboAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<QComboBox*>(widget())->currentText();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* ownWidgets(const QString& className, QObject* object)
{
    // Asked for each class up the chain: answer for the object's own class only.
    if (!object || !object->isWidgetType() || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (auto* box = qobject_cast<LabelledComboBox*>(widget))
        return new LabelledComboAccessible(box);
    const QVariant role = widget->property(kRoleProperty);
    if (!role.isValid())
        return nullptr;
    return new QAccessibleWidget(widget, static_cast<QAccessible::Role>(role.toInt()));
}

[[maybe_unused]] const bool installed = [] {
    QAccessible::installFactory(ownWidgets);
    return true;
}();
} // namespace

void announceAs(QWidget* window, QAccessible::Role role) { window->setProperty(kRoleProperty, static_cast<int>(role)); }

} // namespace bw
