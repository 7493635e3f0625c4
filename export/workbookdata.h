#pragma once

#include "xlswriter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

// What the in-process spreadsheet component's objects share: the application's open workbooks
// with their number formats and sheets, and the cells a range covers.

struct WorkbookSheet
{
    QString name;
    QVector<QVector<XlsCell>> rows;
    QVector<int> columnWidths;
};

struct Workbook
{
    QStringList formats { QStringLiteral("General") };
    QVector<WorkbookSheet> sheets;
};

struct WorkbookApplicationState
{
    bool bound = false;
    bool visible = false;
    bool displayAlerts = true;
    QList<std::shared_ptr<Workbook>> books;
    std::shared_ptr<Workbook> active;
};

// Rows and columns counted from 1, both corners included.
struct CellRect
{
    int top = 1, left = 1, bottom = 1, right = 1;
};
