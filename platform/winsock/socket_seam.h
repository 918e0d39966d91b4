// The winsock module's test seam, in two layers.
//
// ArmCallFailure makes a named call fail with a WSA error before it reaches
// the OS: the program then sees an error a real system rarely produces
// (vt::testing::FailSocketCall is the public face of it). ArmOsFailure makes
// the OS call underneath fail with an errno instead, so a test can check
// which calls retry EINTR and the transient accept errors and which report
// them. Both are thread-safe and cost one atomic load while unarmed.
#pragma once

#include <functional>

namespace vt::platform {

// A gate every OS call of the module passes just before it reaches the OS,
// after its socket has been looked up: a test can hold a call there to
// open the window in which another thread closes the socket. An empty gate
// removes it; ClearSocketSeam removes it too.
void SetOsCallGate(std::function<void(const char* function)> gate);
// Runs the gate, if one is set, for the named OS call.
void PassOsCallGate(const char* function);

// times < 0: until ClearSocketSeam; times == 0 disarms the name.
void ArmCallFailure(const char* function, int wsaError, int times);
void ArmOsFailure(const char* function, int posixErrno, int times);
void ClearSocketSeam();

// The WSA error armed for function, consuming one use, or 0.
int TakeCallFailure(const char* function);
// The errno armed for the OS call behind function, consuming one use, or 0.
int TakeOsFailure(const char* function);

}  // namespace vt::platform
