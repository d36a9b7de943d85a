#include "install/StaleFilesJob.h"

#include "install/StaleFiles.h"
#include "job/Log.h"

namespace install {

job::Result StaleFilesJob::Run() {
    if (int removed = RemoveStaleFiles(programDir_); removed > 0) {
        job::Log::Write(job::Log::Level::Info,
                        "removed " + std::to_string(removed) + " files an earlier run left");
    }
    return job::Result::Done();
}

}  // namespace install
