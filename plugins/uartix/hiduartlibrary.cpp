#include "hiduartlibrary.h"

#include <QDebug>
#include <QLibrary>
#include <QStringList>

namespace {

template <typename Fn>
void bind(QLibrary& library, const char* name, Fn& entry, QStringList& missing)
{
    entry = reinterpret_cast<Fn>(library.resolve(name));
    if (!entry)
        missing << QLatin1String(name);
}

} // namespace

bool HidUartLibrary::load(const QString& libraryFile)
{
    clear();
    // A QLibrary object going out of scope does not unload: the library stays for the process.
    QLibrary library(libraryFile);
    if (libraryFile.isEmpty() || !library.load()) {
        qDebug() << "Uartix: cannot load" << libraryFile << library.errorString();
        return false;
    }

    QStringList missing;
    bind(library, "HidUart_GetNumDevices", GetNumDevices, missing);
    bind(library, "HidUart_GetString", GetString, missing);
    bind(library, "HidUart_GetOpenedString", GetOpenedString, missing);
    bind(library, "HidUart_GetIndexedString", GetIndexedString, missing);
    bind(library, "HidUart_GetAttributes", GetAttributes, missing);
    bind(library, "HidUart_GetOpenedAttributes", GetOpenedAttributes, missing);
    bind(library, "HidUart_Open", Open, missing);
    bind(library, "HidUart_Close", Close, missing);
    bind(library, "HidUart_IsOpened", IsOpened, missing);
    bind(library, "HidUart_SetUartEnable", SetUartEnable, missing);
    bind(library, "HidUart_GetUartEnable", GetUartEnable, missing);
    bind(library, "HidUart_Read", Read, missing);
    bind(library, "HidUart_Write", Write, missing);
    bind(library, "HidUart_FlushBuffers", FlushBuffers, missing);
    bind(library, "HidUart_SetTimeouts", SetTimeouts, missing);
    bind(library, "HidUart_GetTimeouts", GetTimeouts, missing);
    bind(library, "HidUart_GetUartStatus", GetUartStatus, missing);
    bind(library, "HidUart_SetUartConfig", SetUartConfig, missing);
    bind(library, "HidUart_GetUartConfig", GetUartConfig, missing);
    bind(library, "HidUart_StartBreak", StartBreak, missing);
    bind(library, "HidUart_StopBreak", StopBreak, missing);
    bind(library, "HidUart_Reset", Reset, missing);
    bind(library, "HidUart_ReadLatch", ReadLatch, missing);
    bind(library, "HidUart_WriteLatch", WriteLatch, missing);
    bind(library, "HidUart_GetPartNumber_T", GetPartNumber_T, missing);
    bind(library, "HidUart_GetLibraryVersion", GetLibraryVersion, missing);
    bind(library, "HidUart_GetHidLibraryVersion", GetHidLibraryVersion, missing);
    bind(library, "HidUart_GetHidGuid", GetHidGuid, missing);

    if (!missing.isEmpty()) {
        qDebug() << "Uartix:" << libraryFile << "lacks" << missing.join(QLatin1String(", "));
        clear();
        return false;
    }
    bound = true;
    return true;
}

void HidUartLibrary::clear()
{
    *this = HidUartLibrary();
}
