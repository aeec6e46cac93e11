#include "ui/dialogwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QUrl>

#include <algorithm>
#include <cmath>

#include "ui/desktopopen.h"
#include "ui/icons.h"
#include "ui/listview.h"
#include "ui/messagebox.h"
#include "ui/previewpane.h"

namespace quillomar {

namespace {

// Static text that keeps its whole text and draws what fits, ending in an ellipsis when cut.
class EllipsisLabel : public QFrame {
public:
    EllipsisLabel(Qt::Alignment alignment, QWidget* parent) : QFrame(parent), alignment_(alignment) {}
    void setText(const QString& text) {
        text_ = text;
        update();
    }
    const QString& text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        QPainter painter(this);
        const QRect area = contentsRect().adjusted(1, 0, -1, 0);
        painter.drawText(area, static_cast<int>(alignment_),
                         fontMetrics().elidedText(text_, Qt::ElideRight, area.width()));
    }

private:
    Qt::Alignment alignment_;
    QString text_;
};

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

// The same as a dialog's horizontal base unit: the average width of the letters A-Z and a-z.
int averageCharacterWidth(const QFontMetrics& metrics) {
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (width / 26 + 1) / 2;
}

int scale(int units, int base, int divisor) {
    return static_cast<int>(std::lround(static_cast<double>(units) * base / divisor));
}

}  // namespace

DialogWindow::DialogWindow(const DialogTemplate& dialog, Language language, DialogHandler& handler, QWidget* owner)
    : QDialog(owner), dialog_(dialog), language_(language), handler_(handler) {
    Qt::WindowFlags flags = dialog.has(kDialogAppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if (dialog.has(kDialogCaption)) flags |= Qt::WindowTitleHint;
    if (dialog.has(kDialogSystemMenu)) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (dialog.has(kDialogMinimizeBox)) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(qs(dialog.caption.in(language)));

    // The template's face is not found on this system: its size is kept, the desktop's face used.
    QFont font = QApplication::font();
    font.setPointSize(dialog.fontPointSize);
    setFont(font);
    const QFontMetrics metrics(font);
    baseX_ = averageCharacterWidth(metrics);
    baseY_ = metrics.height();

    const QRect client = toPixels({0, 0, dialog.width, dialog.height});
    templateSize_ = client.size();
    layout_ = AnchorLayout(client.width(), client.height(), scale(4, baseX_, 4));
    buildControls();
    if (dialog.has(kDialogResizable)) {
        setMinimumSize(client.size());
        resize(client.size());
    } else if (dialog.has(kDialogModalFrame)) {
        setFixedSize(client.size());
    } else {
        resize(client.size());
    }
    setAcceptDrops(acceptsDrops());
}

DialogWindow::~DialogWindow() = default;

bool DialogWindow::acceptsDrops() const { return dialog_.has(kDialogAcceptFiles); }

QRect DialogWindow::toPixels(const DialogRect& rect) const {
    return QRect(scale(rect.x, baseX_, 4), scale(rect.y, baseY_, 8), scale(rect.width, baseX_, 4),
                 scale(rect.height, baseY_, 8));
}

void DialogWindow::buildControls() {
    std::vector<QWidget*> groups;
    std::vector<std::pair<const ControlTemplate*, QWidget*>> built;
    for (const ControlTemplate& control : dialog_.controls) {
        QWidget* widget = makeControl(control);
        widget->setGeometry(toPixels(control.rectIn(language_)));
        widenOneLineLabel(widget);
        if (auto* view = qobject_cast<ListView*>(widget)) view->setBaseWidth(widget->width());
        const QRect placed = widget->geometry();
        layout_.add({placed.x(), placed.y(), placed.width(), placed.height()}, control.anchors());
        placedControls_.push_back(widget);
        built.emplace_back(&control, widget);
        widget->setEnabled(!control.has(kStyleDisabled));
        if (control.has(kStyleHidden)) widget->hide();
        // Files dropped anywhere on the dialog are the dialog's: no control takes them itself.
        widget->setAcceptDrops(false);
        if (control.kind == ControlKind::GroupBox) groups.push_back(widget);
        if (control.id != kNoControlId) controls_.emplace(control.id, widget);
    }
    // A group box only frames: it stays below the controls it frames and lets clicks through.
    for (QWidget* group : groups) {
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        group->lower();
    }
    nameByLabels(built);
}

// A screen reader names each edit box and list by the label the dialog shows beside or above it.
void DialogWindow::nameByLabels(const std::vector<std::pair<const ControlTemplate*, QWidget*>>& built) {
    for (const auto& [control, widget] : built) {
        if (control->kind == ControlKind::Pane) widget->setAccessibleName(qs(control->text.in(language_)));
        if (control->kind != ControlKind::Edit && control->kind != ControlKind::ListView) continue;
        const ControlTemplate* label = labelOf(dialog_, control->id);
        if (label == nullptr) continue;
        widget->setAccessibleName(qs(label->text.in(language_)));
        for (const auto& [other, labelWidget] : built) {
            if (other != label) continue;
            if (auto* text = qobject_cast<QLabel*>(labelWidget)) text->setBuddy(widget);
        }
    }
}

// A dialog made larger than its template: each control follows the edges its style names.
void DialogWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layOut();
}

void DialogWindow::layOut() {
    if (!dialog_.has(kDialogResizable)) return;
    const std::vector<Rect> rects =
        layout_.place(width(), height(), [this](std::size_t i) { return !placedControls_[i]->isHidden(); });
    for (std::size_t i = 0; i < rects.size(); ++i) {
        placedControls_[i]->setGeometry(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
    }
}

// The desktop's face is wider than the one the dialog was laid out for: a one-line label whose
// text would be cut grows to the right into the free space beside it.
void DialogWindow::widenOneLineLabel(QWidget* widget) {
    auto* label = qobject_cast<QLabel*>(widget);
    if (label == nullptr || label->wordWrap() || label->frameShape() != QFrame::NoFrame) return;
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 1;
    if (needed > label->width()) label->resize(needed, label->height());
}

QWidget* DialogWindow::makeControl(const ControlTemplate& control) {
    const QString text = qs(control.text.in(language_));
    const int id = control.id;
    switch (control.kind) {
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(true);
            if (control.has(kStyleDefaultButton) && id == kIdOk) button->setDefault(true);
            if (!control.has(kStyleTabStop)) button->setFocusPolicy(Qt::ClickFocus);
            connect(button, &QPushButton::clicked, this, [this, id] { dispatch([&] { handler_.onCommand(id); }); });
            return button;
        }
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(text, this);
            if (!control.has(kStyleTabStop)) box->setFocusPolicy(Qt::ClickFocus);
            connect(box, &QCheckBox::clicked, this, [this, id] { dispatch([&] { handler_.onCommand(id); }); });
            return box;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, this);
            edit->setFrame(control.has(kStyleBorder));
            if (!control.has(kStyleTabStop)) edit->setFocusPolicy(Qt::ClickFocus);
            // What the user types; the logic's own setItemText is not reported back to it.
            connect(edit, &QLineEdit::textEdited, this, [this, id] { dispatch([&] { handler_.onEditChange(id); }); });
            return edit;
        }
        case ControlKind::Static: {
            const Qt::Alignment horizontal = control.has(kStyleCenter) ? Qt::AlignHCenter : Qt::AlignLeft;
            if (control.has(kStyleEndEllipsis)) {
                auto* label = new EllipsisLabel(horizontal | Qt::AlignVCenter, this);
                if (control.has(kStyleSunken)) label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
                label->setText(text);
                return label;
            }
            auto* label = new QLabel(this);
            label->setTextFormat(Qt::PlainText);
            label->setText(text);
            if (control.has(kStyleSunken)) {
                label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
                label->setAlignment(horizontal | Qt::AlignVCenter);
            } else {
                label->setAlignment(horizontal | Qt::AlignTop);
                // A label of two lines or more wraps at words; a one-line label stays on its line.
                label->setWordWrap(control.rect.height >= 16);
            }
            return label;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(text, this);
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(this);
            bar->setTextVisible(false);
            bars_[id].widget = bar;
            showBar(bars_[id]);
            return bar;
        }
        case ControlKind::ListView: {
            auto* view = new ListView(control.has(kStyleReportView), control.has(kStyleSingleSelection), this);
            if (!control.has(kStyleBorder)) view->setFrameStyle(QFrame::NoFrame);
            if (!control.has(kStyleTabStop)) view->setFocusPolicy(Qt::ClickFocus);
            connect(view, &QAbstractItemView::activated, this, [this, id](const QModelIndex& index) {
                if (!index.isValid()) return;
                const int row = index.row();
                dispatch([&] { handler_.onItemActivate(id, row); });
            });
            connect(view->header(), &QHeaderView::sectionClicked, this,
                    [this, id](int column) { dispatch([&] { handler_.onColumnClick(id, column); }); });
            view->onMenuRequest = [this, id](const QPoint& at) {
                menuAt_ = at;
                dispatch([&] { handler_.onContextMenu(id); });
            };
            view->onDragRequest = [this, id](const std::vector<int>& rows) { dragRowsOut(id, rows); };
            connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                    [this, id](const QModelIndex& current) {
                        const int row = current.isValid() ? current.row() : -1;
                        dispatch([&] { handler_.onCurrentRowChange(id, row); });
                    });
            view->onKey = [this, id](ListKey key) { dispatch([&] { handler_.onListKey(id, key); }); };
            view->onRowEdited = [this, id](int row, const QString& edited) {
                dispatch([&] { handler_.onRowTextEdited(id, row, utf8(edited)); });
            };
            view->canTakeDrop = [this] { return !busy(); };
            view->onFilesDropped = [this, id](const std::vector<std::string>& paths) {
                dispatch([&] { handler_.onListDrop(id, paths); });
            };
            lists_.push_back(view);
            return view;
        }
        case ControlKind::Pane: {
            auto* pane = new PreviewPane(this);
            if (control.has(kStyleBorder)) pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            return pane;
        }
    }
    return new QWidget(this);
}

void DialogWindow::initialize() {
    if (initialized_) return;
    initialized_ = true;
    dispatch([&] { handler_.onInit(*this); });
}

int DialogWindow::run() {
    initialize();
    // The logic may end the dialog from its initialisation (a list it cannot fill): the window
    // is then never shown.
    if (endedEarly_) return result();
    // Modal to its owner only, as a dialog with an owner window: the owner takes no input while
    // it runs, but a window outside that chain (a message box) does.
    setWindowModality(Qt::WindowModal);
    return exec();
}

QWidget* DialogWindow::control(int id) const {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

// Controls ------------------------------------------------------------------------------------

void DialogWindow::setItemText(int id, std::string_view text) {
    QWidget* widget = control(id);
    const QString value = qs(text);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
        edit->setCursorPosition(0);  // a long text shows its beginning
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(value);
    } else if (auto* box = dynamic_cast<EllipsisLabel*>(widget)) {
        box->setText(value);
    }
}

// QLineEdit's limit counts UTF-16 units, as the edit control's does.
void DialogWindow::limitText(int id, std::size_t maxCharacters) {
    constexpr std::size_t kQtMaximum = 32767;
    if (auto* edit = qobject_cast<QLineEdit*>(control(id))) {
        edit->setMaxLength(static_cast<int>(std::min(maxCharacters, kQtMaximum)));
    }
}

std::string DialogWindow::itemText(int id) const {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return utf8(edit->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return utf8(button->text());
    if (auto* label = qobject_cast<QLabel*>(widget)) return utf8(label->text());
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return utf8(group->title());
    if (auto* box = dynamic_cast<EllipsisLabel*>(widget)) return utf8(box->text());
    return {};
}

void DialogWindow::enableItem(int id, bool enabled) {
    if (QWidget* widget = control(id)) widget->setEnabled(enabled);
}

bool DialogWindow::isChecked(int id) const {
    auto* box = qobject_cast<QAbstractButton*>(control(id));
    return box != nullptr && box->isCheckable() && box->isChecked();
}

void DialogWindow::setChecked(int id, bool checked) {
    auto* box = qobject_cast<QAbstractButton*>(control(id));
    if (box != nullptr && box->isCheckable()) box->setChecked(checked);
}

// Progress bars ----------------------------------------------------------------------------------

DialogWindow::Bar* DialogWindow::bar(int id) {
    auto found = bars_.find(id);
    return found == bars_.end() ? nullptr : &found->second;
}

DialogWindow::ProgressState DialogWindow::progressState(int id) const {
    auto found = bars_.find(id);
    return found == bars_.end() ? ProgressState{} : found->second.state;
}

// QProgressBar repaints itself at once when its value moves, and each such paint waits for the
// display server to take the one before: on a busy machine that wait, at every position shown,
// made a long extraction slower than the work. With its updates held while the value changes, the
// bar is painted with the rest of the window the next time the event loop runs (a pump of the
// work, or the loop once the call has returned).
void DialogWindow::showBar(Bar& b) {
    b.shown = true;
    const ProgressState& s = b.state;
    b.widget->setUpdatesEnabled(false);
    if (s.high > s.low) {
        b.widget->setRange(s.low, s.high);
        b.widget->setValue(s.position);
    } else {
        b.widget->setRange(0, 1);  // an empty range shows an empty bar, not a busy one
        b.widget->setValue(0);
    }
    b.widget->setUpdatesEnabled(true);  // asks for the one ordinary repaint
}

void DialogWindow::setProgressRange(int id, int low, int high) {
    Bar* b = bar(id);
    if (b == nullptr) return;
    b->state.setRange(low, high);
    showBar(*b);
}

void DialogWindow::setProgressStep(int id, int step) {
    if (Bar* b = bar(id)) b->state.step = step;
}

void DialogWindow::setProgressPos(int id, int position) {
    Bar* b = bar(id);
    if (b == nullptr) return;
    b->state.setPosition(position);
    showBar(*b);
}

void DialogWindow::postProgressPos(int id, int position) {
    QMetaObject::invokeMethod(
        this, [this, id, position] { setProgressPos(id, position); }, Qt::QueuedConnection);
}

void DialogWindow::stepProgress(int id) {
    Bar* b = bar(id);
    if (b == nullptr) return;
    b->state.stepIt();
    b->shown = false;
    // Whatever runs the steps, the bar shows where they ended once the event loop runs again.
    if (!barsQueued_) {
        barsQueued_ = true;
        QMetaObject::invokeMethod(
            this, [this] { showBars(); }, Qt::QueuedConnection);
    }
    keepPainted();
}

void DialogWindow::showBars() {
    barsQueued_ = false;
    for (auto& [id, b] : bars_) {
        if (!b.shown) showBar(b);
    }
}

namespace {

// Eats user input on its way to any object of the program.
class InputEater final : public QObject {
protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
                return true;
            default:
                return false;
        }
    }
};

// Runs the event loop once with the user's input eaten on its way: the windows repaint, and
// input that waited is gone. Qt would otherwise hand held-back input over once the work has
// returned: a second click on Generate, an Escape or a Quit made during the work would then be
// acted on.
void pumpWithoutInput() {
    InputEater eater;
    QCoreApplication::instance()->installEventFilter(&eater);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::instance()->removeEventFilter(&eater);
}

}  // namespace

// Long work steps the bar from inside a call into the logic: let the window repaint meanwhile,
// and drop the user's input rather than hold it back.
void DialogWindow::keepPainted() {
    if (!CallGuard::pumpDue()) return;
    showBars();
    publishLists();
    pumpWithoutInput();
    CallGuard::notePump();
}

// Input made after the last repaint of the work, still waiting, goes the same way.
void DialogWindow::discardQueuedInput() { pumpWithoutInput(); }

// List view ------------------------------------------------------------------------------------------

ListView* DialogWindow::list(int id) const { return qobject_cast<ListView*>(control(id)); }

void DialogWindow::publishLists() {
    for (ListView* view : lists_) view->publish();
}

bool DialogWindow::insertColumn(int id, int column, std::string_view title, int widthPixels) {
    ListView* view = list(id);
    if (view == nullptr || column < 0) return false;
    view->insertColumn(column, qs(title), widthPixels);
    return true;
}

int DialogWindow::insertRow(int id, int position, std::uintptr_t value) {
    ListView* view = list(id);
    return view == nullptr ? -1 : view->rows().insertRow(position, value);
}

void DialogWindow::setCellText(int id, int row, int column, std::string_view text) {
    if (ListView* view = list(id)) view->rows().setCellText(row, column, text);
}

std::string DialogWindow::cellText(int id, int row, int column) const {
    ListView* view = list(id);
    return view == nullptr ? std::string() : view->rows().cellText(row, column);
}

int DialogWindow::rowCount(int id) const {
    ListView* view = list(id);
    return view == nullptr ? 0 : view->rows().rowCount();
}

std::uintptr_t DialogWindow::rowData(int id, int row) const {
    ListView* view = list(id);
    return view == nullptr ? 0 : view->rows().rowValue(row);
}

void DialogWindow::sortRows(int id, const std::function<int(std::uintptr_t, std::uintptr_t)>& compare) {
    if (ListView* view = list(id)) view->rows().sortRows(compare);
}

void DialogWindow::setCellSource(int id, CellSource source) {
    if (ListView* view = list(id)) view->rows().setCellSource(std::move(source));
}

std::vector<int> DialogWindow::selectedRows(int id) const {
    ListView* view = list(id);
    return view == nullptr ? std::vector<int>() : view->selectedRowNumbers();
}

int DialogWindow::currentRow(int id) const {
    ListView* view = list(id);
    if (view == nullptr || !view->currentIndex().isValid()) return -1;
    return view->currentIndex().row();
}

void DialogWindow::setStretchColumns(int id, std::vector<int> columns) {
    if (ListView* view = list(id)) view->setStretchColumns(std::move(columns));
}

void DialogWindow::acceptListDrops(int id) {
    if (ListView* view = list(id)) view->takeFileDrops();
}

void DialogWindow::editRowText(int id, int row, std::string_view text) {
    ListView* view = list(id);
    if (view == nullptr) return;
    publishLists();  // the editor opens over the rows as the logic left them
    view->editRow(row, qs(text));
}

bool DialogWindow::askYesNo(std::string_view text) {
    publishLists();
    return askYesNoBox(qs(text));
}

// The logic writes the rows' files first (the hint and the bars show how far it got); the drag
// then offers them as a list of file URLs, which a file manager or the desktop copies.
void DialogWindow::dragRowsOut(int id, const std::vector<int>& rows) {
    std::vector<std::string> files;
    dispatch([&] { files = handler_.onDragRows(id, rows); });
    if (files.empty()) return;
    QList<QUrl> urls;
    urls.reserve(static_cast<qsizetype>(files.size()));
    for (const std::string& file : files) urls.append(QUrl::fromLocalFile(QFile::decodeName(file.c_str())));
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    runDrag(control(id), mime);
}

Qt::DropAction DialogWindow::runDrag(QWidget* source, QMimeData* mime) {
    auto* drag = new QDrag(source != nullptr ? source : this);
    drag->setMimeData(mime);
    return drag->exec(Qt::CopyAction, Qt::CopyAction);
}

// Window ---------------------------------------------------------------------------------------

void DialogWindow::setIcon(int iconId) { setWindowIcon(iconForResource(iconId)); }

void DialogWindow::postMessage(int message) {
    QMetaObject::invokeMethod(
        this, [this, message] { deliverPosted(message); }, Qt::QueuedConnection);
}

void DialogWindow::deliverPosted(int message) {
    if (!guard_.admitPosted(message)) return;
    dispatch([&] { handler_.onPostedMessage(message); });
}

void DialogWindow::endDialog(int result) {
    if (!isVisible()) endedEarly_ = true;
    done(result);
}

int DialogWindow::runDialog(int dialogId, DialogHandler& handler) {
    const DialogTemplate* child = findDialogTemplate(dialogId);
    if (child == nullptr) return -1;
    publishLists();
    std::unique_ptr<DialogWindow> window = makeChild(*child, handler);
    return window->run();
}

std::unique_ptr<DialogWindow> DialogWindow::makeChild(const DialogTemplate& dialog, DialogHandler& handler) {
    return std::make_unique<DialogWindow>(dialog, language_, handler, this);
}

std::optional<std::string> DialogWindow::pickFolder(std::string_view title) {
    publishLists();
    // The picker opens at the user's home, the root of the desktop's folders, wherever the
    // program was started from.
    const QString folder = QFileDialog::getExistingDirectory(this, qs(title), QDir::homePath());
    if (folder.isEmpty()) return std::nullopt;
    return QFile::encodeName(folder).toStdString();
}

bool DialogWindow::openWithDesktop(const std::string& path) {
    return openWithDesktopProgram(QFile::decodeName(QByteArray::fromStdString(path)));
}

int DialogWindow::popupMenu(const std::vector<MenuItem>& items) {
    publishLists();
    QMenu menu(this);
    for (const MenuItem& item : items) {
        QAction* action = menu.addAction(qs(item.text));
        action->setEnabled(item.enabled);
        action->setData(item.command);
    }
    QAction* chosen = menu.exec(menuAt_);
    return chosen == nullptr ? 0 : chosen->data().toInt();
}

void DialogWindow::setClipboardText(std::string_view text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(qs(text));
}

void DialogWindow::clearRows(int id) {
    if (ListView* view = list(id)) view->rows().clearRows();
}

void DialogWindow::setFocusItem(int id) {
    if (QWidget* widget = control(id)) {
        widget->setFocus(Qt::ShortcutFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->selectAll();
    }
}

int DialogWindow::focusedItem() const {
    const QWidget* focused = focusWidget();
    for (const auto& [id, widget] : controls_) {
        if (focused != nullptr && (widget == focused || widget->isAncestorOf(focused))) return id;
    }
    return 0;
}

void DialogWindow::showItem(int id, bool shown) {
    QWidget* widget = control(id);
    if (widget == nullptr) return;
    widget->setVisible(shown);
    layOut();
}

bool DialogWindow::isItemShown(int id) const {
    const QWidget* widget = control(id);
    return widget != nullptr && !widget->isHidden();
}

// Each key works anywhere in the dialog, whichever control has the focus.
void DialogWindow::setAccelerators(std::vector<Accelerator> keys) {
    for (QShortcut* shortcut : shortcuts_) delete shortcut;
    shortcuts_.clear();
    for (const Accelerator& key : keys) {
        int code = key.key;
        if (key.key >= kKeyF1 && key.key <= kKeyF1 + 11) code = Qt::Key_F1 + (key.key - kKeyF1);
        const QKeySequence sequence(key.control ? QKeyCombination(Qt::ControlModifier, Qt::Key(code))
                                                : QKeyCombination(Qt::Key(code)));
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        const int command = key.command;
        connect(shortcut, &QShortcut::activated, this,
                [this, command] { dispatch([&] { handler_.onCommand(command); }); });
        shortcuts_.push_back(shortcut);
    }
}

void DialogWindow::setPaneContent(int id, const PaneContent& content) {
    if (auto* pane = qobject_cast<PreviewPane*>(control(id))) pane->setContent(content);
}

// Events ----------------------------------------------------------------------------------------

bool DialogWindow::firstItemPath(const QDropEvent* event, std::string* path) {
    const QMimeData* mime = event->mimeData();
    if (mime == nullptr || !mime->hasUrls()) return false;
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) return false;
    // The path's bytes as the URL encodes them: a name that is no valid UTF-8 (a Latin-1 "caf\xE9")
    // stays percent-encoded in the URL and would be lost on its way through a QString.
    if (path != nullptr) {
        *path = QByteArray::fromPercentEncoding(urls.front().path(QUrl::FullyEncoded).toLatin1()).toStdString();
    }
    return true;
}

void DialogWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDrops() && !busy() && firstItemPath(event, nullptr)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void DialogWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrops() && !busy() && firstItemPath(event, nullptr)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

// The drop is handled once the drag has finished, so the program the files came from is not kept
// waiting while a folder is scanned.
void DialogWindow::dropEvent(QDropEvent* event) {
    std::string path;
    if (!acceptsDrops() || busy() || !firstItemPath(event, &path)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    QMetaObject::invokeMethod(
        this, [this, path] { deliverDrop(path); }, Qt::QueuedConnection);
}

void DialogWindow::deliverDrop(const std::string& path) {
    if (busy()) return;  // dropped while work ran: ignored
    dispatch([&] { handler_.onDrop(path); });
}

// Escape and the caption's close button send the cancel command; what it does is the logic's.
void DialogWindow::reject() {
    dispatch([&] { handler_.onCommand(kIdCancel); });
}

// A dialog without a system menu has no close command: a window manager that offers to close it
// anyway (a close button of its own, Alt+F4) is not heard, rather than having its request taken
// for the cancel command, which in the content window starts Extract all.
void DialogWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (isVisible() && dialog_.has(kDialogSystemMenu)) reject();
}

void DialogWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (placed_ || !dialog_.has(kDialogCentered)) return;
    placed_ = true;
    if (QScreen* where = screen()) {
        const QRect area = where->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

}  // namespace quillomar
