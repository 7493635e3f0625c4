#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

class QIODevice;

// Where an export writes. A regular file is replaced as a whole or not at all, so a failed
// export neither leaves a partial file nor spoils an earlier one; a device in the file's place
// (a pipe, /dev/full) cannot be swapped for a new file and is written in place, its errors
// counting all the same.
class TargetFile
{
public:
    explicit TargetFile(const QString& fileName);

    bool open(QIODevice::OpenMode extra = {});
    QIODevice* device();
    // Writes all of bytes to device(); false once a write fails (errorString() after commit()).
    bool writeAll(const QByteArray& bytes);
    // True when everything written reached the file; a regular file appears only then.
    bool commit();
    // The system's reason for the last failure.
    QString errorString() const;

    // The whole of bytes, or nothing: on failure, error (when given) holds the reason.
    static bool writeWhole(
        const QString& fileName, const QByteArray& bytes, QString* error = nullptr);

private:
    bool inPlace;
    bool truncated = false;
    QString reason;
    QSaveFile file;
    QFile deviceFile;
};
