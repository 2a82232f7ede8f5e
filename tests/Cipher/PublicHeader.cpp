// The library's public header stands on its own: built with nothing on the include path but the
// library's public folder and the component interface it rests on.
#include "VarkelSDK.h"

static_assert(varkel::kSdkOperationCount == 42);
