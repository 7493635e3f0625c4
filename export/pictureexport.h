#pragma once

#include "exportresult.h"

#include <QImage>
#include <QString>

// Writes the chart's picture as a JPG file, whatever the name ends in. The picture is encoded in
// memory first and then written as a whole, so that a full disk is reported and leaves no part of
// a file. Shows no dialogs.
class PictureExport
{
public:
    static ExportResult write(const QImage& picture, const QString& fileName);
};
