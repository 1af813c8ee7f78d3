// Process entry: start the run-time support, run the analysis session once, end the run.
#include "analysis/lamvis2.h"
#include "runtime/error.h"
#include "app/startup.h"

int main() {
    startRuntime();
    AnalysisSession session;
    session.run();
    endRun(0);
}
