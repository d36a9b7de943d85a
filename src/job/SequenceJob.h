#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "job/Job.h"

namespace job {

// A job made of steps that run one after the other, with pauses between them that a Cancel
// cuts short. The steps are independent: each reports and logs its own failures, and the
// sequence goes on unless a step says Stop. The sequence ends Cancelled when it was
// cancelled during a step or a pause, else ok.
class SequenceJob : public Job {
  public:
    enum class Next { Continue, Stop };
    using Step = std::function<Next()>;

  protected:
    // Builds the sequence; call from the constructor of the concrete job.
    void AddStep(Step step);
    void AddPause(std::chrono::milliseconds pause);

  private:
    Result Run() final;

    struct Item {
        Step step;  // empty for a pause
        std::chrono::milliseconds pause{0};
    };
    std::vector<Item> items_;
};

}  // namespace job
