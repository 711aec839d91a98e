// Placeholder until the size dialog lands.
#include "profiles/CustomSize.h"

TSizeForm *SizeForm = nullptr;

TSizeForm::TSizeForm(QWidget *parent) : QDialog(parent) { setObjectName("SizeForm"); }
