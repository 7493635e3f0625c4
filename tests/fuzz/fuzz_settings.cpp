// The settings reader on arbitrary bytes as "options.xml": no crash, no hang, and whatever it
// accepted survives being written and read back.

#include "fuzzinput.h"

#include "settingsfile.h"

#include <QBuffer>
#include <QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    SettingsValues read;
    SettingsFile::parse(file, read);

    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    FUZZ_CHECK(SettingsFile::serialize(out, read));
    out.close();

    out.open(QIODevice::ReadOnly);
    SettingsValues again;
    SettingsFile::parse(out, again);
    // The writer fills in defaults for what was missing; an empty value is written as an empty
    // element, which reads as missing.
    FUZZ_CHECK(again.geometry.value_or(QByteArray()) == read.geometry.value_or(QByteArray()));
    FUZZ_CHECK(again.state.value_or(QByteArray()) == read.state.value_or(QByteArray()));
    FUZZ_CHECK(again.fixedLanguage.value_or(false) == read.fixedLanguage.value_or(false));
    FUZZ_CHECK(again.language.value_or(QString()) == read.language.value_or(QString()));
    FUZZ_CHECK(again.samplePoints == read.samplePoints.value_or(1000));
    FUZZ_CHECK(again.infinite == read.infinite.value_or(true));
    FUZZ_CHECK(again.sampleRate == read.sampleRate.value_or(1000));
    FUZZ_CHECK(again.skipRepeat == read.skipRepeat.value_or(false));
    return 0;
}
