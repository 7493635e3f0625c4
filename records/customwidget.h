#pragma once

#include <QWidget>

// A plain widget class that forms may promote to; the program itself never creates one.
class CustomWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CustomWidget(QWidget* parent = nullptr);
};
