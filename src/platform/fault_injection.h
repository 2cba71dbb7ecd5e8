// Failures injected into the output stream's system calls and the reading
// of a directory, so that tests can see what a run does when a write, the
// flush, the close, the final rename or a directory read fails, without
// needing a disk that fails at that moment; and a pause, so that a test can
// interrupt a run at a chosen point instead of racing it.
#pragma once

namespace quilldex::platform {

enum class FaultPoint { Write, Flush, Close, Rename, ReadDirectory };

// Makes the `nth` call at `point` from now on (1 is the next one) fail as
// an input/output error would. One fault per point is armed at a time.
void injectFault(FaultPoint point, int nth = 1);

// Makes the `nth` call at `point` from now on wait until the process is
// ended (by a signal), instead of being made.
void injectPause(FaultPoint point, int nth = 1);

// Disarms every injected fault and pause.
void clearInjectedFaults();

// Called by the platform layer before each call at `point`: true when this
// call is to fail (errno is then set). Safe from any thread.
bool injectedFaultAt(FaultPoint point);

}  // namespace quilldex::platform
