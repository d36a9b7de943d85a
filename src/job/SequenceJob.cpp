#include "job/SequenceJob.h"

namespace job {

void SequenceJob::AddStep(Step step) {
    items_.push_back({std::move(step), {}});
}

void SequenceJob::AddPause(std::chrono::milliseconds pause) {
    items_.push_back({{}, pause});
}

Result SequenceJob::Run() {
    for (const Item& item : items_) {
        if (Cancelled()) {
            return CancelledResult();
        }
        if (!item.step) {
            if (!Pause(item.pause)) {
                return CancelledResult();
            }
            continue;
        }
        if (item.step() == Next::Stop) {
            break;
        }
    }
    return Cancelled() ? CancelledResult() : Result::Done();
}

}  // namespace job
