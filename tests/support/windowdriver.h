#pragma once
// Driving the window program's dialogs on the offscreen platform, for its tests and its benchmark:
// acting on the next modal window once it is shown, and dropping a file on a window.

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

// Runs action on the next modal window other than notThis, once it is on screen, looking every
// intervalMs milliseconds. A dialog the action leaves open (a failed check returns early) is
// ended, so that the run goes on.
inline void whenModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr, int intervalMs = 5) {
    auto* timer = new QTimer;
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, [timer, action, notThis] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == notThis || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        if (QTest::qWaitForWindowExposed(modal)) action(modal);
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog != nullptr && dialog->isVisible()) dialog->done(-1);
    });
    timer->start();
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
