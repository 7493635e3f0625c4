#include "targetfile.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>

TargetFile::TargetFile(const QString& fileName)
    : inPlace(false)
    , file(fileName)
    , deviceFile(fileName)
{
    const QFileInfo target(fileName);
    inPlace = target.exists() && !target.isFile() && !target.isDir();
}

bool TargetFile::open(QIODevice::OpenMode extra)
{
    if (QFileInfo(file.fileName()).isDir()) {
        reason = qt_error_string(EISDIR);
        return false;
    }
    if (inPlace)
        return deviceFile.open(QIODevice::WriteOnly | extra);
    return file.open(QIODevice::WriteOnly | extra);
}

QIODevice* TargetFile::device()
{
    return inPlace ? static_cast<QIODevice*>(&deviceFile) : &file;
}

bool TargetFile::commit()
{
    QFileDevice& target = inPlace ? static_cast<QFileDevice&>(deviceFile) : file;
    // What is still buffered goes out now, so that its failure is seen and has its reason.
    const bool flushed = target.flush();
    if (!flushed || target.error() != QFileDevice::NoError) {
        reason = target.errorString();
        if (inPlace)
            deviceFile.close();
        else
            file.cancelWriting();
        return false;
    }
    if (inPlace) {
        deviceFile.close();
        return true;
    }
    // A write that a full disk or a file size limit cut short is not always reported as an
    // error; what reached the file is compared with what was written to it.
    if (file.size() < file.pos()) {
        file.cancelWriting();
        truncated = true;
        return false;
    }
    if (!file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

QString TargetFile::errorString() const
{
    if (!reason.isEmpty())
        return reason;
    if (truncated)
        return QCoreApplication::translate(
            "TargetFile", "The file could not be written completely; the disk may be full.");
    return inPlace ? deviceFile.errorString() : file.errorString();
}

bool TargetFile::writeAll(const QByteArray& bytes)
{
    // A write cut short is followed by one more, which fails with the system's reason.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = device()->write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool TargetFile::writeWhole(const QString& fileName, const QByteArray& bytes, QString* error)
{
    TargetFile target(fileName);
    // Unbuffered: each write reaches the file at once and fails with the system's reason.
    const bool opened = target.open(QIODevice::Unbuffered);
    bool written = opened && target.writeAll(bytes);
    if (opened)
        written = target.commit() && written;
    if (!written && error)
        *error = target.errorString();
    return written;
}
