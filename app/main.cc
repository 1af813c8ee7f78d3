// Process entry: start the run-time support, run the analysis session once, end the run.
#include "analysis/lamvis2.h"
#include "app/startup.h"
#include "runtime/error.h"

int main() {
    RunTime run;
    startRuntime(run);
    AnalysisSession session(run.console);
    session.run();
    endRun(run.errors, 0);
}
