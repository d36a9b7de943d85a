#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "ExchangeVerdict.h"

namespace bench {

// The counts and reply latencies of one load run.
class LoadTally {
  public:
    // One finished exchange: `sent` when its whole request frame was written. Only replies
    // add a latency: refusals come back at once and would pull the percentiles down.
    void Record(const ExchangeVerdict& verdict, std::chrono::microseconds latency, bool sent);

    // An exchange still open when the run's time was up: neither a reply nor a failure.
    void RecordAbandoned(bool sent);

    std::size_t Count(Outcome outcome) const;
    std::size_t Abandoned() const { return abandoned_; }
    std::size_t Sent() const { return sent_; }
    // Refusals and errors by what happened.
    const std::map<std::string, std::size_t>& Reasons() const { return reasons_; }

    // The reply latency at quantile `q` (0 < q <= 1) by nearest rank: the smallest sample
    // that at least q of all samples do not exceed. Zero when there was no reply.
    std::chrono::microseconds Percentile(double q) const;

  private:
    std::size_t replies_ = 0;
    std::size_t refused_ = 0;
    std::size_t errors_ = 0;
    std::size_t abandoned_ = 0;
    std::size_t sent_ = 0;
    std::map<std::string, std::size_t> reasons_;
    std::vector<std::chrono::microseconds> latencies_;
};

}  // namespace bench
