#include "sessionsaver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

SessionSaver::SessionSaver(const QString& target)
    : target(target)
{ }

SessionSaver::~SessionSaver()
{
    discard();
}

void SessionSaver::discard()
{
    writer.close();
    if (temporary.isEmpty())
        return;
    QFile::remove(temporary);
    QFile::remove(temporary + QStringLiteral("-journal"));
    temporary.clear();
}

SessionWriter* SessionSaver::open()
{
    discard();
    const QFileInfo info(target);
    if (info.exists() && !info.isFile()) {
        error = QStringLiteral("it is not a file");
        return nullptr;
    }
    QTemporaryFile file(
        info.absoluteDir().filePath(QStringLiteral(".%1-XXXXXX.tmp").arg(info.fileName())));
    file.setAutoRemove(false);
    if (!file.open()) {
        error = file.errorString();
        return nullptr;
    }
    temporary = file.fileName();
    file.close();
    if (!writer.open(temporary, SessionWriter::Mode::File) || !writer.begin()) {
        error = writer.errorString();
        discard();
        return nullptr;
    }
    return &writer;
}

bool SessionSaver::commit()
{
    if (temporary.isEmpty() || !writer.isOpen()) {
        error = QStringLiteral("nothing was written");
        return false;
    }
    if (!writer.commit()) {
        error = writer.errorString();
        discard();
        return false;
    }
    writer.close();
    // The rename replaces the target in one step; the file was synced by SQLite's commit.
    std::error_code code;
    std::filesystem::rename(std::filesystem::path(temporary.toStdU16String()),
        std::filesystem::path(target.toStdU16String()), code);
    if (code) {
        error = QString::fromStdString(code.message());
        discard();
        return false;
    }
    temporary.clear();
    return true;
}
