#pragma once
#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for a custom output frame size when "Custom Size" is chosen in the
// main window's "Video Size" row, and writes it there as width + "x" +
// height. Created once, shown without being modal while the main window is
// disabled; the fields keep the texts last typed.
class TSizeForm : public QDialog {
    Q_OBJECT
public:
    explicit TSizeForm(QWidget *parent = nullptr);

    QLabel *labWidth = nullptr, *labHeight = nullptr;
    QLineEdit *edtWidth = nullptr, *edtHeight = nullptr;
    QPushButton *btnOK = nullptr, *btnCancel = nullptr;

    void btnOKClick();
    void btnCancelClick();

    // Every way of closing (OK, Cancel, Escape, the close box) ends here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void FormClose();
    QPointer<QWidget> m_opener; // has the focus back on closing
};

extern TSizeForm *SizeForm;
