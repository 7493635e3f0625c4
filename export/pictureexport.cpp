#include "pictureexport.h"

#include "targetfile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageWriter>

ExportResult PictureExport::write(const QImage& picture, const QString& fileName)
{
    if (picture.isNull())
        return ExportResult::failure(
            QCoreApplication::translate("PictureExport", "The chart has no picture yet."));
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    // The format is the kind's, not the name's: "chart.png" chosen for a JPG export is a JPG.
    QImageWriter writer(&buffer, QByteArrayLiteral("jpg"));
    if (!writer.write(picture))
        return ExportResult::failure(writer.errorString());
    QString error;
    if (!TargetFile::writeWhole(fileName, encoded, &error))
        return ExportResult::failure(error);
    return ExportResult::success();
}
