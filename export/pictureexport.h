#pragma once

#include <QString>

class QImage;

// Writes a picture (of the chart) in the format its file name's extension names, JPG when it
// names none. The picture is encoded in memory first and then written as a whole, so that a full
// disk is reported and leaves no part of a file. Shows no dialogs.
class PictureExport
{
public:
    // On failure, error (when given) holds the reason.
    static bool write(const QImage& picture, const QString& fileName, QString* error = nullptr);
};
