#include "ui/texttrace.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>

#include <time.h>

#include <cstdio>
#include <cstdlib>

namespace quillomar {

namespace {

void writeLine(const char* what, const QString& detail) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // The text stays on one line, whatever it holds.
    QString oneLine = detail;
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "quillomar-trace %lld.%06ld %s %s\n", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000,
                 what, oneLine.toUtf8().constData());
    std::fflush(stderr);
}

class TextTrace final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
                // A key goes to the window, then to the focused widget and up its parents: it is
                // written once, when it reaches the widget that has the focus.
                if (watched == QApplication::focusWidget()) {
                    const auto* key = static_cast<QKeyEvent*>(event);
                    writeLine("key", QKeySequence(key->keyCombination()).toString());
                }
                break;
            case QEvent::Paint:
                // The label's text has been set before this paint: it reaches the screen now.
                if (auto* label = qobject_cast<QLabel*>(watched)) {
                    if (!painted_.contains(label)) {
                        connect(label, &QObject::destroyed, this, [this, label] { painted_.remove(label); });
                    }
                    QString& last = painted_[label];
                    if (label->text() != last) {
                        last = label->text();
                        writeLine("painted", last);
                    }
                }
                break;
            default:
                break;
        }
        return false;
    }

private:
    QHash<const QLabel*, QString> painted_;
};

}  // namespace

void installTextTraceFromEnvironment(QApplication& application) {
    const char* value = std::getenv("QUILLOMAR_TRACE_TEXTS");
    if (value == nullptr || value[0] == '\0') return;
    application.installEventFilter(new TextTrace(&application));
}

}  // namespace quillomar
