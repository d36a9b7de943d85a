#include "LoadTally.h"

#include <algorithm>
#include <cmath>

namespace bench {

void LoadTally::Record(const ExchangeVerdict& verdict, std::chrono::microseconds latency,
                       bool sent) {
    if (sent) {
        ++sent_;
    }
    switch (verdict.outcome) {
        case Outcome::Reply:
            ++replies_;
            latencies_.push_back(latency);
            return;
        case Outcome::Refused:
            ++refused_;
            break;
        case Outcome::Error:
            ++errors_;
            break;
    }
    ++reasons_[verdict.why];
}

void LoadTally::RecordAbandoned(bool sent) {
    if (sent) {
        ++sent_;
    }
    ++abandoned_;
}

std::size_t LoadTally::Count(Outcome outcome) const {
    switch (outcome) {
        case Outcome::Reply:
            return replies_;
        case Outcome::Refused:
            return refused_;
        case Outcome::Error:
            return errors_;
    }
    return 0;
}

std::chrono::microseconds LoadTally::Percentile(double q) const {
    if (latencies_.empty()) {
        return std::chrono::microseconds{0};
    }
    const auto n = latencies_.size();
    auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(n)));
    rank = std::clamp<std::size_t>(rank, 1, n);
    std::vector<std::chrono::microseconds> samples = latencies_;
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(rank - 1),
                     samples.end());
    return samples[rank - 1];
}

}  // namespace bench
