// The shared library's load and unload notifications.
#include "sshlib/api/lifecycle.h"

namespace {

const char kModuleIdentity = 0;

__attribute__((constructor)) void OnLoad() { tessan::ProcessAttach(&kModuleIdentity); }
__attribute__((destructor)) void OnUnload() { tessan::ProcessDetach(); }

}  // namespace
