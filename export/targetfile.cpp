#include "targetfile.h"

#include <QCoreApplication>
#include <QFileInfo>

TargetFile::TargetFile(const QString& fileName)
    : inPlace(false)
    , file(fileName)
    , deviceFile(fileName)
{
    const QFileInfo target(fileName);
    inPlace = target.exists() && !target.isFile() && !target.isDir();
}

bool TargetFile::open()
{
    if (inPlace)
        return deviceFile.open(QIODevice::WriteOnly);
    return file.open(QIODevice::WriteOnly);
}

QIODevice* TargetFile::device()
{
    return inPlace ? static_cast<QIODevice*>(&deviceFile) : &file;
}

bool TargetFile::commit()
{
    if (!inPlace) {
        // A write that a full disk or a file size limit cut short is not always reported as an
        // error; what reached the file is compared with what was written to it.
        if (!file.flush() || file.size() < file.pos()) {
            file.cancelWriting();
            truncated = true;
            return false;
        }
        return file.commit();
    }
    const bool flushed = deviceFile.flush();
    const bool clean = deviceFile.error() == QFileDevice::NoError;
    deviceFile.close();
    return flushed && clean;
}

QString TargetFile::errorString() const
{
    if (truncated)
        return QCoreApplication::translate(
            "TargetFile", "The file could not be written completely; the disk may be full.");
    return inPlace ? deviceFile.errorString() : file.errorString();
}
