// Start-up of the run-time support.
#include "app/startup.h"

#include "consoleio/record.h"
#include "runtime/console.h"
#include "runtime/error.h"
#include "runtime/fpe.h"

void startRuntime() {
    preparePlatform();
    resetRuntimeErrorState();
    openConsoleUnits();
    // The end of every run, normal or after a report, closes the console down.
    registerCloseDown(closeDownConsole);
    registerInputOutputErrorHook(resetConsoleAfterError);
    configureFloatingPoint();
}
