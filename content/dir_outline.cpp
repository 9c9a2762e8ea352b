#include "content/dir_outline.h"

#include "base/errors.h"
#include "content/paths.h"

namespace tavelo {

TDirectoryOutline::TDirectoryOutline()
{
    // Built with the window, outside any guard: the failure waits for the
    // first use, which reports it.
    try {
        directory_ = RememberStartDirectory();
    } catch (const EFOpenError& e) {
        error_ = e.Message();
    }
}

const QString& TDirectoryOutline::Directory() const
{
    if (!error_.isEmpty())
        throw EFOpenError(error_);
    return directory_;
}

}  // namespace tavelo
