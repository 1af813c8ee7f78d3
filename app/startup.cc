// Start-up of the run-time support.
#include "app/startup.h"

#include <cstdlib>

#include "runtime/console.h"
#include "runtime/fpe.h"

void startRuntime(RunTime& run) {
    preparePlatform();
    useErrorState(&run.errors);
    // The read trace, when asked for (consoleio/read_trace.h): before the records are made,
    // so that it sees all the output.
    if (const char* path = std::getenv("LAMVIS2_READ_TRACE"); path != nullptr && *path != '\0')
        run.console.units.trace.open(path);
    run.console.units.open();
    // The end of every run, normal or after a report, closes the console down.
    registerConsoleHooks(run.errors, closeDownConsole, resetConsoleAfterError, &run.console.units);
    configureFloatingPoint();
}
