#pragma once
#include <QDialog>

// Asks for a custom output frame size when "Custom Size" is chosen.
class TSizeForm : public QDialog {
    Q_OBJECT
public:
    explicit TSizeForm(QWidget *parent = nullptr);
};

extern TSizeForm *SizeForm;
