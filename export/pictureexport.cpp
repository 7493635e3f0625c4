#include "pictureexport.h"

#include "targetfile.h"

#include <QCoreApplication>
#include <QImageWriter>

ExportResult PictureExport::write(const QImage& picture, const QString& fileName)
{
    if (picture.isNull())
        return ExportResult::failure(
            QCoreApplication::translate("PictureExport", "The chart has no picture yet."));
    TargetFile target(fileName);
    if (!target.open())
        return ExportResult::failure(target.errorString());
    // The format is the kind's, not the name's: "chart.png" chosen for a JPG export is a JPG.
    QImageWriter writer(target.device(), QByteArrayLiteral("jpg"));
    if (!writer.write(picture))
        return ExportResult::failure(writer.errorString());
    if (!target.commit())
        return ExportResult::failure(target.errorString());
    return ExportResult::success();
}
