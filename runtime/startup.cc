// Start-up of the run-time support.
#include "runtime/startup.h"

#include "consoleio/record.h"
#include "runtime/console.h"
#include "runtime/error.h"
#include "runtime/fpe.h"

void startRuntime() {
    preparePlatform();
    resetRuntimeErrorState();
    openConsoleUnits();
    configureFloatingPoint();
}
