#include "media/file_run.h"

#include "media/launcher.h"

namespace tavelo {

bool ExecuteFileRun(TFileRun& request)
{
    if (request.ActionList && request.ActionList->Suspended)
        return false;
    request.Enabled = request.Browse || !request.FileName.isEmpty();
    if (!request.Enabled)
        return false;
    if (request.Browse)
        return true;
    ShellOpen(request.Operation, request.FileName, request.Directory);
    return true;
}

}  // namespace tavelo
