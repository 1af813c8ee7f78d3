// Placeholder until the numeric editors land.
#include "consoleio/edit.h"

EditedField editInteger(std::int32_t, const EditDescriptor&) { return {}; }
EditedField editReal(double, bool, const EditDescriptor&) { return {}; }
