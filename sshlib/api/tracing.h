// Tracing through the trace library (SshEnableTrace, SshDisableTrace).
#pragma once

namespace tessan {

// Ends every enable still counted (the last SshUninitialize); the trace library stays loaded.
void EndTracing();

}  // namespace tessan
