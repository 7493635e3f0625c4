#pragma once

#include "exportresult.h"

#include <QImage>
#include <QString>

// Writes the chart's picture as a JPG file, whatever the name ends in. Shows no dialogs.
class PictureExport
{
public:
    static ExportResult write(const QImage& picture, const QString& fileName);
};
