#pragma once

#include <QCursor>

// Keeps the wait cursor from construction to destruction, so every way out of an export,
// cancelled dialogs included, gives the window's own cursor back. The window's cursor stays the
// override afterwards, as users of the export know it, but never more than one level deep:
// repeated exports must not pile up overrides that the application could never unwind.
class WaitCursor
{
public:
    explicit WaitCursor(const QCursor& windowCursor);
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    QCursor restored;
};
