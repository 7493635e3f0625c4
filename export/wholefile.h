#pragma once

#include <QByteArray>
#include <QString>

// Writes a file's bytes as a whole or not at all: a regular file (or a new one) is replaced only
// once every byte is on disk, so a full disk leaves the old file, or none, never a part. Anything
// else that exists under the name (a device, a pipe) cannot be swapped for a new file and is
// written in place.
class WholeFile
{
public:
    // On failure, error (when given) holds the system's reason.
    static bool write(const QString& fileName, const QByteArray& bytes, QString* error = nullptr);
};
