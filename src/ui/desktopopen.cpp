#include "ui/desktopopen.h"

#include <QDesktopServices>
#include <QMimeDatabase>
#include <QMimeType>
#include <QProcess>
#include <QUrl>

#include <optional>

namespace quillomar {

namespace {

constexpr int kQueryTimeoutMs = 10000;
const QString kAnyData = QStringLiteral("application/octet-stream");

// What `xdg-mime ARGUMENTS` prints, trimmed; nullopt when it cannot be run or fails.
std::optional<QString> xdgMime(const QStringList& arguments) {
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.start(QStringLiteral("xdg-mime"), arguments);
    if (!query.waitForStarted(kQueryTimeoutMs)) return std::nullopt;
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished();
        return std::nullopt;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return std::nullopt;
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

}  // namespace

DesktopProgram desktopProgramFor(const QString& path) {
    // "text/plain; charset=us-ascii" from some desktops: the type is what stands before the ';'.
    const std::optional<QString> reported = xdgMime({QStringLiteral("query"), QStringLiteral("filetype"), path});
    if (!reported) return DesktopProgram::Unknown;
    const QMimeDatabase database;
    QString own = reported->section(QLatin1Char(';'), 0, 0).trimmed();
    if (own.isEmpty()) own = database.mimeTypeForFile(path).name();

    QStringList types{own};
    for (const QString& ancestor : database.mimeTypeForName(own).allAncestors()) {
        if (ancestor != kAnyData && !types.contains(ancestor)) types << ancestor;
    }
    for (const QString& type : types) {
        // The answer is the desktop entry of the type's program, or nothing.
        const std::optional<QString> program = xdgMime({QStringLiteral("query"), QStringLiteral("default"), type});
        if (!program) return DesktopProgram::Unknown;
        if (!program->isEmpty()) return DesktopProgram::Found;
    }
    return DesktopProgram::None;
}

bool openWithDesktopProgram(const QString& path) {
    // Without a program the launcher would fall back on whatever it finds (a web browser, a
    // pager) or on nothing at all, and tell nobody.
    if (desktopProgramFor(path) == DesktopProgram::None) return false;
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return true;
    // A platform without desktop services (offscreen, a remote framebuffer) still has the
    // desktop's launcher.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

}  // namespace quillomar
