#pragma once

#include "itemproperties.h"

#include <QDialog>

#include <optional>

namespace Ui {
class ItemPropertiesDialog;
}

// Edits an item's properties: the machine class its readings are graded by, the alert and danger
// levels in the item's unit, and a note.
class ItemPropertiesDialog : public QDialog
{
    Q_OBJECT

public:
    ItemPropertiesDialog(const QString& itemName, const QString& unit,
        const ItemProperties& properties, QWidget* parent = nullptr);
    ~ItemPropertiesDialog() override;

    ItemProperties properties() const;

    // A level as typed: empty is no level; anything else must be a number (either decimal
    // point). False when it is not one.
    static bool parseLevel(const QString& text, std::optional<double>& level);

public slots:
    void accept() override;

private:
    void showLimits();

    Ui::ItemPropertiesDialog* ui;
};
