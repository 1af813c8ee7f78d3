// Start-up of the run-time support.
#include "app/startup.h"

#include "runtime/console.h"
#include "runtime/fpe.h"

void startRuntime(RunTime& run) {
    preparePlatform();
    useErrorState(&run.errors);
    run.console.units.open();
    // The end of every run, normal or after a report, closes the console down.
    registerConsoleHooks(run.errors, closeDownConsole, resetConsoleAfterError, &run.console.units);
    configureFloatingPoint();
}
