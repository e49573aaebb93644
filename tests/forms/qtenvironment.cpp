#include "qtenvironment.h"

namespace {

const auto* const QtEnvironment = testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
