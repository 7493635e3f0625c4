#include "optiondialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

OptionDialog::OptionDialog(bool hideLanguage, QWidget* parent)
    : QDialog(parent)
    , hideLanguage(hideLanguage)
    , sbSamplePoints(new QSpinBox(this))
    , sbSampleRate(new QSpinBox(this))
    , chkSkipRepeat(new QCheckBox(this))
    , infinite(new QCheckBox(tr("Infinite"), this))
    , btnOk(new QPushButton(tr("Ok"), this))
    , btnCancel(new QPushButton(tr("Cancel"), this))
    , cbbLanguage(new QComboBox(this))
{
    setWindowTitle(tr("Options"));

    sbSamplePoints->setRange(1, std::numeric_limits<int>::max());
    sbSampleRate->setRange(0, std::numeric_limits<int>::max());
    sbSampleRate->setSuffix(QStringLiteral("mS"));
    cbbLanguage->addItem(tr("English"));
    cbbLanguage->addItem(tr("Chinese"));

    auto* grid = new QGridLayout;
    int row = 0;
    if (!hideLanguage) {
        grid->addWidget(new QLabel(tr("Language"), this), 0, 0, Qt::AlignRight);
        grid->addWidget(cbbLanguage, 0, 1);
        grid->addWidget(new QLabel(this), 1, 1);
        row = 2;
    } else {
        // Still created so that setLanguageIndex/languageIndex keep working; never shown.
        cbbLanguage->hide();
    }
    grid->addWidget(new QLabel(tr("Sample points"), this), row, 0, Qt::AlignRight);
    grid->addWidget(sbSamplePoints, row, 1);
    grid->addWidget(infinite, row, 2);
    grid->addWidget(new QLabel(tr("Sample rate"), this), row + 1, 0, Qt::AlignRight);
    grid->addWidget(sbSampleRate, row + 1, 1);
    grid->addWidget(new QLabel(tr("Skip repeat reading"), this), row + 2, 0, Qt::AlignRight);
    grid->addWidget(chkSkipRepeat, row + 2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto* main = new QVBoxLayout;
    main->addLayout(grid);
    main->addLayout(buttons);
    setLayout(main);

    connect(cbbLanguage, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &OptionDialog::on_cbbLanguage_currentIndexChanged);
    connect(infinite, &QCheckBox::toggled, this, &OptionDialog::on_infinite_toggled);
    connect(btnOk, &QPushButton::clicked, this, &OptionDialog::slotBtnClicked);
    connect(btnCancel, &QPushButton::clicked, this, &OptionDialog::slotBtnClicked);
}

void OptionDialog::setLanguageIndex(int index)
{
    // Both indexes are stored before the combo moves, so the change it signals shows no message.
    initialLanguageIndex = index;
    currentLanguageIndex = index;
    cbbLanguage->setCurrentIndex(index);
}

void OptionDialog::slotBtnClicked()
{
    if (sender() == btnOk)
        accept();
    else
        reject();
}

void OptionDialog::on_infinite_toggled(bool checked)
{
    sbSamplePoints->setEnabled(!checked);
}

void OptionDialog::on_cbbLanguage_currentIndexChanged(int index)
{
    currentLanguageIndex = index;
    if (index != initialLanguageIndex)
        QMessageBox::information(this, QString(),
            tr("Please restart application for translation to take effect."), QMessageBox::Ok);
}
