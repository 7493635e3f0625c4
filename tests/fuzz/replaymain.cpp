// Replays saved fuzzer inputs (seeds and every crash input found so far) through a fuzz target,
// so each becomes an ordinary regression test of the normal build.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char* argv[])
{
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        QStringList files;
        const QFileInfo info(QString::fromLocal8Bit(argv[i]));
        if (info.isDir()) {
            for (const QFileInfo& entry :
                QDir(info.filePath()).entryInfoList(QDir::Files, QDir::Name))
                files << entry.filePath();
        } else if (info.exists()) {
            files << info.filePath();
        }
        for (const QString& path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray input = file.readAll();
            std::fprintf(stderr, "replaying %s (%d bytes)\n", qPrintable(path), int(input.size()));
            LLVMFuzzerTestOneInput(
                reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
            ++replayed;
        }
    }
    std::fprintf(stderr, "%d inputs replayed\n", replayed);
    // No input at all means the corpus went missing: that must not pass quietly.
    return replayed > 0 ? 0 : 1;
}
