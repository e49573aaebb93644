// A dialog module for the loader's tests: it offers one dialog, one class whose creation
// fails, and one that is not a module dialog.
#include <QWidget>
#include <stdexcept>

#include "formregistry.h"
#include "packageform.h"

namespace {

const TFormClassRegistration Dialog("TTestDialog", [] {
    auto* form = new TPackageForm;
    form->setObjectName("TestDialog");
    return form;
});

const TFormClassRegistration Failing("TFailingDialog", []() -> QObject* {
    throw std::runtime_error("The test dialog could not be made.");
});

const TFormClassRegistration NotADialog("TPlainWidget", [] { return new QWidget; });

}  // namespace
