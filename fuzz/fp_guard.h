// Floating-point faults of a run that a fuzz target drives in process.
//
// The program traps invalid operation, division by zero and overflow, and its signal
// handler reports the fault, which ends the run. In process the end of the run is a C++
// exception (the fake console's exit throws), and neither throwing nor jumping out of a
// signal handler is sound: a throw cannot unwind through the interrupted arithmetic, and a
// jump skips the destructors of every frame in between. So the guard takes the trap over
// for the run: its handler only records the first fault and lets the interrupted
// instruction complete with the traps masked (the same way the program's own handler
// resumes during the close-down), and the fault is reported at the next console call,
// through the program's own report, from ordinary code. Between the fault and that call the
// run computes on with the default results; nothing of it reaches the console, since every
// console call reports first.
//
// Where the trap cannot be taken over (a platform other than x86-64 Linux and Windows on
// x86-64), every trap is masked for the run and the program finds the faults from the
// status flags, as a build without traps does; the guard leaves the flags alone.
#pragma once

// One guarded run at a time.
class FloatingPointGuard {
public:
    // Keeps the floating-point environment and the floating-point signal's handling as
    // they are before the run (a fuzzer's own handler, for instance).
    FloatingPointGuard();
    // Puts them back, whatever the run left.
    ~FloatingPointGuard();
    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

    // After the run-time has set up its floating-point traps: takes them over. Clears the
    // program's floating-point codes and any pending exception flag.
    void arm();

    // At every console call: reports a fault met since the last call as the program would
    // have reported it at the fault (a MATH report, which ends the run).
    void reportPendingFault();

    // Trapped faults met since arm(), reported or not.
    int faultsMet();

    // Whether the traps were taken over (false: they are masked).
    bool trapping() const { return trapping_; }

private:
    // Takes a newly met fault as the pending one; returns the pending fault's code.
    int poll();

    bool trapping_ = false;
    int faults_ = 0;
    int pending_ = 0;  // exception code of a fault met and not yet reported
};

// The platform half (fp_guard-posix.cc, fp_guard-win32.cc).
namespace fpguard {
// Keeps, and puts back, the floating-point environment and the signal handling.
void saveHandling();
void restoreHandling();
// Takes over the traps if the run-time set up any and this platform lets the guard
// resume the interrupted instruction; returns whether it did.
bool takeOverTraps();
// The exception code of the first trap since the last call (0: none, -1: a kind the
// program has no code for), cleared by the call.
int takeRecordedTrap();
}  // namespace fpguard
