#include "mml/loop_search.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <vector>

namespace tonequill {
namespace {

// The most tokens a lead-in may cost.
constexpr std::size_t kMostLeadInCost = 62;

// From the third value of a range on, a value costs a token unless it is the
// third or later value of a run: then it only lengthens that run's "D". The
// first two values of a range always cost one token each. So the runs of
// values[from..to) cost to - from tokens for a range of one or two values,
// else 2 plus the values from `from + 2` on that cost a token this way.
std::size_t costsToken(std::span<const int32_t> values, std::size_t i) {
    // Without a branch: in a list that moves often it would mostly be guessed wrong.
    return static_cast<std::size_t>((values[i] != values[i - 1]) | (values[i - 1] != values[i - 2]));
}

// What a value adds to the cost of a range that starts at the list's start.
std::size_t leadInStep(std::span<const int32_t> values, std::size_t i) {
    return i < 2 ? 1 : costsToken(values, i);
}

// The runs of the whole list, counted in one pass.
std::size_t wholeCost(std::span<const int32_t> values) {
    const std::size_t n = values.size();
    if (n <= 2) return n;
    std::size_t cost = 2;
    for (std::size_t i = 2; i < n; ++i) cost += costsToken(values, i);
    return cost;
}

// A period of the list's tail: values[from..n) repeats with period `shift`,
// values[from - 1..n) does not.
struct TailPeriod {
    std::size_t shift = 0;
    std::size_t from = 0;
};

// A value spread over 64 bits for the rolling hash.
uint64_t spread(int32_t value) {
    return (uint64_t{static_cast<uint32_t>(value)} + 0x9E3779B97F4A7C15ull) * 0xBF58476D1CE4E5B9ull;
}

// Every shift q (1 <= q <= n / 2) at which the tail from some lead-in
// s < leadInLimit repeats with 2q at most its length, with where its
// repetition starts. Such a tail repeats over at least `window` =
// ceil((n - leadInLimit + 1) / 2) values, so the list's last `window` values
// recur q values earlier: the shifts where they do are found with a rolling
// hash of the window sliding towards the start, and each hit is followed back
// value by value to where the repetition starts. A shift that is a multiple
// of one already found, within its repetition, repeats from the same place
// and is never the smallest, so it is passed over. False when the checks
// would spend more than `budget` steps.
bool tailPeriods(std::span<const int32_t> values, std::size_t leadInLimit, std::size_t budget,
                 std::vector<TailPeriod>& periods) {
    const std::size_t n = values.size();
    const std::size_t window = (n - leadInLimit + 2) / 2;
    const std::size_t lastShift = std::min(n / 2, n - window);
    constexpr uint64_t kBase = 0x100000001B3ull;
    // hash(a) = sum over j of spread(values[a + j]) * kBase^j, j < window.
    uint64_t target = 0;
    uint64_t top = 1;  // kBase^(window - 1)
    for (std::size_t j = window; j-- > 0;) target = target * kBase + spread(values[n - window + j]);
    for (uint64_t base = kBase, power = window - 1; power != 0; power >>= 1, base *= base) {
        if (power & 1) top *= base;
    }
    uint64_t hash = target;
    std::size_t spent = 0;
    for (std::size_t q = 1; q <= lastShift; ++q) {
        const std::size_t at = n - window - q;
        hash = spread(values[at]) + kBase * (hash - spread(values[at + window]) * top);
        if (hash != target) continue;
        bool multiple = false;
        for (const TailPeriod& p : periods) {
            ++spent;
            if (q % p.shift == 0 && q + p.from <= n) {
                multiple = true;
                break;
            }
        }
        if (multiple) continue;
        std::size_t from = n - q;
        while (from > 0 && values[from - 1] == values[from - 1 + q]) --from;
        spent += n - q - from + 1;
        if (spent > budget) return false;
        // Fewer than `window` equal values: the hashes clashed.
        if (n - q - from >= window) periods.push_back(TailPeriod{q, from});
    }
    return spent <= budget;
}

}  // namespace

LoopChoice chooseLoop(std::span<const int32_t> values) { return chooseLoop(values, 4 * values.size() + 256); }

LoopChoice chooseLoop(std::span<const int32_t> values, std::size_t checkBudget) {
    LoopChoice choice;
    const std::size_t n = values.size();
    if (n < 8) return choice;
    std::size_t best = wholeCost(values);

    // The lead-ins to try: s + 4 < n and a cost of at most 62 (it only grows with s).
    std::size_t leadInLimit = 0;
    for (std::size_t lead = 0; leadInLimit + 4 < n && lead <= kMostLeadInCost; ++leadInLimit) {
        lead += leadInStep(values, leadInLimit);
    }

    std::vector<TailPeriod> periods;
    if (!tailPeriods(values, leadInLimit, checkBudget, periods)) return chooseLoopByBorders(values);
    if (periods.empty()) return choice;

    // The smallest period of the tail from s is the smallest shift whose
    // repetition has started by s. For one s the cost only grows with the
    // period, so that one is the only one to try, or 2 where the tail is one
    // value throughout (period 1). Periods come in by where they start.
    std::vector<TailPeriod> byStart = periods;
    std::stable_sort(byStart.begin(), byStart.end(),
                     [](const TailPeriod& a, const TailPeriod& b) { return a.from < b.from; });
    std::size_t nextStart = 0;
    std::size_t smallest = std::numeric_limits<std::size_t>::max();
    // The tokens after the first two values of the loop's period
    // values[s..s + period), kept as s moves on by one with the same period.
    std::size_t windowPeriod = 0;
    std::size_t windowAt = 0;
    std::size_t windowTokens = 0;
    std::size_t spent = 0;
    std::size_t lead = 0;
    for (std::size_t s = 0; s < leadInLimit; lead += leadInStep(values, s), ++s) {
        for (; nextStart < byStart.size() && byStart[nextStart].from <= s; ++nextStart) {
            smallest = std::min(smallest, byStart[nextStart].shift);
        }
        if (smallest == std::numeric_limits<std::size_t>::max()) continue;
        const std::size_t period = smallest == 1 ? 2 : smallest;
        if (2 * period > n - s) continue;
        std::size_t periodCost = 2;
        if (period > 2) {
            if (windowPeriod == period && windowAt + 1 == s) {
                windowTokens += costsToken(values, s + period - 1);
                windowTokens -= costsToken(values, s + 1);
            } else {
                windowTokens = 0;
                for (std::size_t i = s + 2; i < s + period; ++i) windowTokens += costsToken(values, i);
                spent += period;
                if (spent > checkBudget) return chooseLoopByBorders(values);
            }
            windowPeriod = period;
            windowAt = s;
            periodCost += windowTokens;
        }
        const std::size_t total = periodCost + lead + 1;  // + the loop mark
        if (total < best) {
            best = total;
            choice = LoopChoice{true, s, period};
        }
    }
    return choice;
}

namespace {

// The cost of any range in O(1): `grows` marks the values that cost a token
// after the first two of a range, with counts per block of 64.
class RunCostTable {
public:
    explicit RunCostTable(std::span<const int32_t> values)
        : bits_(values.size() / 64 + 1, 0), before_(values.size() / 64 + 1, 0) {
        for (std::size_t i = 2; i < values.size(); ++i) {
            bits_[i / 64] |= uint64_t{costsToken(values, i)} << (i % 64);
        }
        for (std::size_t b = 1; b < bits_.size(); ++b) before_[b] = before_[b - 1] + std::popcount(bits_[b - 1]);
    }

    // The runs of values[from..to), for a range inside the list.
    [[nodiscard]] std::size_t cost(std::size_t from, std::size_t to) const {
        if (from >= to) return 0;
        if (to - from <= 2) return to - from;
        return 2 + marksBefore(to) - marksBefore(from + 2);
    }

private:
    [[nodiscard]] std::size_t marksBefore(std::size_t i) const {
        const uint64_t low = i % 64 == 0 ? 0 : bits_[i / 64] & (~uint64_t{0} >> (64 - i % 64));
        return before_[i / 64] + static_cast<std::size_t>(std::popcount(low));
    }

    std::vector<uint64_t> bits_;
    std::vector<std::size_t> before_;
};

// The smallest period of every suffix: entry k is for the suffix of length
// k + 1. A suffix read backwards is a prefix of the reversed list, and a
// prefix of length L with longest proper border b has smallest period L - b;
// the borders come from the prefix function of the reversed list.
std::vector<uint32_t> suffixPeriods(std::span<const int32_t> values) {
    const std::size_t n = values.size();
    auto back = [&](std::size_t k) { return values[n - 1 - k]; };
    std::vector<uint32_t> border(n, 0);
    for (std::size_t k = 1; k < n; ++k) {
        std::size_t b = border[k - 1];
        while (b > 0 && back(k) != back(b)) b = border[b - 1];
        if (back(k) == back(b)) ++b;
        border[k] = static_cast<uint32_t>(b);
    }
    for (std::size_t k = 0; k < n; ++k) border[k] = static_cast<uint32_t>(k + 1 - border[k]);
    return border;
}

}  // namespace

LoopChoice chooseLoopByBorders(std::span<const int32_t> values) {
    LoopChoice choice;
    const std::size_t n = values.size();
    if (n < 8) return choice;
    const RunCostTable costs(values);
    std::size_t best = costs.cost(0, n);
    const std::vector<uint32_t> periods = suffixPeriods(values);
    for (std::size_t s = 0; s + 4 < n; ++s) {
        const std::size_t leadInCost = costs.cost(0, s);
        if (leadInCost > kMostLeadInCost) break;  // the lead-in cost only grows with s
        const std::size_t tail = n - s;
        const std::size_t smallest = periods[tail - 1];
        const std::size_t period = smallest == 1 ? 2 : smallest;
        if (2 * period > tail) continue;
        const std::size_t total = costs.cost(s, s + period) + leadInCost + 1;  // + the loop mark
        if (total < best) {
            best = total;
            choice = LoopChoice{true, s, period};
        }
    }
    return choice;
}

}  // namespace tonequill
