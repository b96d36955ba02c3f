// Runs every registered benchmark, five times each in random order unless
// the command line says otherwise, and ends with the table of ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "RatioTable.h"


namespace {

const int kDefaultRepetitions = 5;


// Shows the runs as the console reporter does and keeps each benchmark's
// CPU time per iteration, and its counters, for the table.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
	CollectingReporter()
		:
		ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular)
	{
	}

	void ReportRuns(const std::vector<Run>& runs) override
	{
		ConsoleReporter::ReportRuns(runs);
		for (const Run& run : runs) {
			if (run.error_occurred)
				continue;
			double seconds = run.GetAdjustedCPUTime()
				/ benchmark::GetTimeUnitMultiplier(run.time_unit);
			const std::string& name = run.run_name.function_name;
			if (run.run_type == Run::RT_Iteration)
				fRepetitions[name].push_back(run);
			else if (run.aggregate_name == "median")
				fMedians.seconds[name] = seconds;
		}
	}

	// The fastest of each benchmark's repetitions: on a shared machine the
	// others are slower for the load of the moment, not for the code. Where
	// only aggregates were reported, their median.
	Measurements Measured() const
	{
		Measurements measured = fMedians;
		for (const auto& [name, runs] : fRepetitions) {
			const Run* fastest = nullptr;
			for (const Run& run : runs) {
				if (fastest == nullptr
					|| run.GetAdjustedCPUTime() < fastest->GetAdjustedCPUTime())
					fastest = &run;
			}
			if (fastest == nullptr)
				continue;
			measured.seconds[name] = fastest->GetAdjustedCPUTime()
				/ benchmark::GetTimeUnitMultiplier(fastest->time_unit);
			for (const auto& [counter, value] : fastest->counters)
				measured.counters[name][counter] = value.value;
		}
		return measured;
	}

	int Repetitions() const
	{
		size_t most = 0;
		for (const auto& [name, runs] : fRepetitions)
			most = std::max(most, runs.size());
		return (int)most;
	}

private:
	std::map<std::string, std::vector<Run>> fRepetitions;
	Measurements fMedians;
};


bool
HasFlag(int argc, char** argv, const char* flag)
{
	for (int i = 1; i < argc; i++) {
		if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0)
			return true;
	}
	return false;
}

}	// namespace


int
main(int argc, char** argv)
{
	// On a shared machine a single run says little: repeat, interleaved in
	// random order so that a burst of load falls on all benchmarks alike.
	std::vector<char*> arguments(argv, argv + argc);
	std::string repetitions = "--benchmark_repetitions=" + std::to_string(kDefaultRepetitions);
	std::string interleave = "--benchmark_enable_random_interleaving=true";
	if (!HasFlag(argc, argv, "--benchmark_repetitions"))
		arguments.push_back(repetitions.data());
	if (!HasFlag(argc, argv, "--benchmark_enable_random_interleaving"))
		arguments.push_back(interleave.data());
	int count = (int)arguments.size();
	arguments.push_back(nullptr);

	benchmark::Initialize(&count, arguments.data());
	if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
		return 1;

	CollectingReporter reporter;
	benchmark::RunSpecifiedBenchmarks(&reporter);
	benchmark::Shutdown();

	std::fflush(stdout);
	PrintRatioTable(stdout, reporter.Measured(), reporter.Repetitions());
	return 0;
}
