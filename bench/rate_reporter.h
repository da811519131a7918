#pragma once
// A console reporter that also keeps each benchmark's bytes_per_second, so a benchmark program
// can close with lines that compare one case with another (our code against a plain loop).
// With repetitions, their median stands for the case: on a shared machine one disturbed run
// moves a mean, not a median.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RateReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            if (run.run_type == Run::RT_Iteration && run.repetitions > 1) continue;
            auto counter = run.counters.find("bytes_per_second");
            if (counter != run.counters.end()) m_rates[run.run_name.str()] = counter->second;
            counter = run.counters.find("items_per_second");
            if (counter != run.counters.end()) m_items[run.run_name.str()] = counter->second;
        }
    }

    // rate is the bytes per second of the first case whose name starts with prefix; 0 if none.
    double rate(const std::string& prefix) const { return first(m_rates, prefix); }
    // items is the same for items_per_second (lines, messages).
    double items(const std::string& prefix) const { return first(m_items, prefix); }

  private:
    static double first(const std::map<std::string, double>& values, const std::string& prefix) {
        for (const auto& [name, value] : values) {
            if (name.starts_with(prefix)) return value;
        }
        return 0;
    }

    std::map<std::string, double> m_rates;
    std::map<std::string, double> m_items;
};
