#include "ui/messagebox.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>

#include "app/stringtable.h"

namespace quillomar {

std::unique_ptr<QMessageBox> makeWarningBox(const QString& text) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, QApplication::applicationName(), text,
                                             QMessageBox::Ok, nullptr);
    // The box blocks no window: the one below it still takes input. What keeps input from
    // reaching work in progress is the dialogs' own guard.
    box->setWindowModality(Qt::NonModal);
    return box;
}

void showWarningBox(const QString& text) {
    const std::unique_ptr<QMessageBox> box = makeWarningBox(text);
    // The caller waits for the answer, as for any message box, while every window stays usable.
    QEventLoop loop;
    QObject::connect(box.get(), &QDialog::finished, &loop, &QEventLoop::quit);
    box->show();
    box->raise();
    box->activateWindow();
    loop.exec();
}

bool askYesNoBox(const QString& text) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text, QMessageBox::Yes | QMessageBox::No,
                    nullptr);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    box.raise();
    box.activateWindow();
    loop.exec();
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

void BoxMessageSink::stringMessage(int id) {
    const std::string text = loadString(id, currentLanguage(), kMessageBufferSize);
    showWarningBox(QString::fromStdString(text));
}

void BoxMessageSink::systemError(const std::string& message) { showWarningBox(QString::fromUtf8(message)); }

std::string BoxMessageSink::text(int id) { return loadString(id, currentLanguage()); }

}  // namespace quillomar
