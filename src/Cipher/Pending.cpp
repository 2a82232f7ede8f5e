// Operations whose file processing has not landed yet: they refuse with error 5.
#include "Operations.h"
#include "VbError.h"

namespace varkel::cipher {
using platform::kInvalidArgument;
using platform::raise;

#define VARKEL_PENDING(name, ...) \
    void name(__VA_ARGS__) { raise(kInvalidArgument, #name " is not available yet"); }

VARKEL_PENDING(VrkBinaryFileEnc, ModuleState&, std::string&)
VARKEL_PENDING(VrkBinaryFileDec, ModuleState&, std::string&)
VARKEL_PENDING(UpdateDecFile, ModuleState&, const std::string&)
VARKEL_PENDING(VrkTextFileEnc, ModuleState&, std::string&)
VARKEL_PENDING(VrkTextFileDec, ModuleState&, std::string&)
VARKEL_PENDING(VrkShutDown, ModuleState&, std::string&)
VARKEL_PENDING(VrkDeleteDecFiles, ModuleState&, std::string&)

}  // namespace varkel::cipher
