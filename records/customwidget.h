#pragma once

#include <QWidget>

// Declared for the form designer's benefit; never instantiated by the program.
class CustomWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CustomWidget(QWidget* parent = nullptr);
};
