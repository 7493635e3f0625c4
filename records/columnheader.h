#pragma once

#include <QString>

// One column of the reading table: read by the table model and by both table exports.
struct ColumnHeader
{
    QString title;
    int span = 2; // relative column width in the PDF report
};
