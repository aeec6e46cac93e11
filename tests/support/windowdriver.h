#pragma once
// Driving the window program's dialogs on the offscreen platform, for its tests and its benchmark:
// acting on a window (the next modal one, a menu) once it is shown, and dropping a file on a window.

#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <string>

namespace quillomar::test {

// Runs action once on what find returns, as soon as that is a visible widget, looking every
// intervalMs milliseconds.
inline void whenFound(std::function<QWidget*()> find, std::function<void(QWidget*)> action, int intervalMs = 5) {
    auto* timer = new QTimer;
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, [timer, find, action] {
        QWidget* found = find();
        if (found == nullptr || !found->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        action(found);
    });
    timer->start();
}

// Runs action on the next modal window other than notThis, once it is on screen. A dialog the
// action leaves open (a failed check returns early) is ended, so that the run goes on.
inline void whenModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr, int intervalMs = 5) {
    whenFound(
        [notThis]() -> QWidget* {
            QWidget* modal = QApplication::activeModalWidget();
            return modal == notThis ? nullptr : modal;
        },
        [action](QWidget* modal) {
            if (QTest::qWaitForWindowExposed(modal)) action(modal);
            auto* dialog = qobject_cast<QDialog*>(modal);
            if (dialog != nullptr && dialog->isVisible()) dialog->done(-1);
        },
        intervalMs);
}

// Drops urls on window as the window system delivers a drop, then lets the drop's handling run,
// and what that handling posted (a dropped archive's content window runs, and has been closed,
// when this returns). Whether the window took the drop.
inline bool dropUrls(QWidget& window, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at(window.width() / 2, window.height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return drop.isAccepted();
}

inline QUrl fileUrl(const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); }

// The same for one local file.
inline bool dropFile(QWidget& window, const std::string& path) { return dropUrls(window, {fileUrl(path)}); }

}  // namespace quillomar::test
