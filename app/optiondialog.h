#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

// The sampling options of the meter link. The dialog only holds the controls: the main window
// fills them before it runs the dialog and reads them back when it is accepted.
class OptionDialog : public QDialog
{
    Q_OBJECT

public:
    explicit OptionDialog(bool hideLanguage, QWidget* parent = nullptr);

    void setLanguageIndex(int index);
    int languageIndex() const { return currentLanguageIndex; }

    const bool hideLanguage;

private:
    int initialLanguageIndex = 0;
    int currentLanguageIndex = 0;

public:
    QSpinBox* sbSamplePoints;
    QSpinBox* sbSampleRate;
    QCheckBox* chkSkipRepeat;
    QCheckBox* infinite;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    QComboBox* cbbLanguage;

public slots:
    void slotBtnClicked();
    void on_infinite_toggled(bool checked);

private slots:
    void on_cbbLanguage_currentIndexChanged(int index);
};
