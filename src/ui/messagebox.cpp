#include "ui/messagebox.h"

#include <QApplication>
#include <QMessageBox>

#include "app/stringtable.h"

namespace quillomar {

std::unique_ptr<QMessageBox> makeWarningBox(const QString& text) {
    return std::make_unique<QMessageBox>(QMessageBox::Warning, QApplication::applicationName(), text,
                                         QMessageBox::Ok, nullptr);
}

void BoxMessageSink::stringMessage(int id) {
    const std::string text = loadString(id, currentLanguage(), kMessageBufferSize);
    makeWarningBox(QString::fromStdString(text))->exec();
}

void BoxMessageSink::systemError(const std::string& message) {
    makeWarningBox(QString::fromStdString(message))->exec();
}

}  // namespace quillomar
