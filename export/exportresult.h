#pragma once

#include <QString>

// The outcome of one export writer: whether the file is complete on disk and, when it is not,
// the system's reason where there is one (the window shows it beneath its failure message).
struct ExportResult
{
    bool ok = false;
    QString reason;

    static ExportResult success() { return { true, QString() }; }
    static ExportResult failure(const QString& reason) { return { false, reason }; }
};
