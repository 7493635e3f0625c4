#include "wholefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace {

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

// Unbuffered, so that every write reaches the file now and reports its own failure (a buffer
// written out at commit or close would fail unnoticed). A write cut short is followed by one
// more, which fails with the reason.
bool writeAll(QFileDevice& file, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

bool WholeFile::write(const QString& fileName, const QByteArray& bytes, QString* error)
{
    const QFileInfo target(fileName);
    if (target.isDir())
        return fail(error, qt_error_string(EISDIR));
    if (target.exists() && !target.isFile()) {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(file, bytes))
            return fail(error, file.errorString());
        file.close();
        if (file.error() != QFileDevice::NoError)
            return fail(error, file.errorString());
        return true;
    }

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(error, file.errorString());
    if (!writeAll(file, bytes)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(error, reason);
    }
    if (!file.commit())
        return fail(error, file.errorString());
    return true;
}
