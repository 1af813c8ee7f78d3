// Start-up of the run-time support, before the analysis runs.
#pragma once

// Prepares the platform, creates the console records and sets up the floating-point traps.
void startRuntime();
