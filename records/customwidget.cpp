#include "customwidget.h"

CustomWidget::CustomWidget(QWidget* parent)
    : QWidget(parent)
{ }
