#include "packageform.h"

TPackageForm::TPackageForm(QWidget* owner) : QDialog(owner) {}
