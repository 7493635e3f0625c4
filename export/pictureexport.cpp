#include "pictureexport.h"

#include "wholefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

bool PictureExport::write(const QImage& picture, const QString& fileName, QString* error)
{
    // A name without an extension (a device, say) gets the export's format.
    QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (format.isEmpty())
        format = "jpg";
    if (!QImageWriter::supportedImageFormats().contains(format)) {
        if (error)
            *error = QCoreApplication::translate("PictureExport",
                "\"%1\" is no picture format this program can write; name the file .jpg.")
                         .arg(QString::fromLatin1(format));
        return false;
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(picture)) {
        if (error)
            *error = writer.errorString();
        return false;
    }
    return WholeFile::write(fileName, encoded, error);
}
