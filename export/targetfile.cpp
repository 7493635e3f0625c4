#include "targetfile.h"

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
    if (!inPlace)
        return file.commit();
    const bool flushed = deviceFile.flush();
    const bool clean = deviceFile.error() == QFileDevice::NoError;
    deviceFile.close();
    return flushed && clean;
}

QString TargetFile::errorString() const
{
    return inPlace ? deviceFile.errorString() : file.errorString();
}
