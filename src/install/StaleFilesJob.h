#pragma once

#include <string>
#include <utility>

#include "job/Job.h"

namespace install {

// RemoveStaleFiles as a job, so that the launcher's start never waits for the disk: it runs
// on a runner's thread once the window is up, and logs what it removed.
class StaleFilesJob : public job::Job {
  public:
    explicit StaleFilesJob(std::string programDir) : programDir_(std::move(programDir)) {}

  private:
    job::Result Run() override;

    std::string programDir_;
};

}  // namespace install
