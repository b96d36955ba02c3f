// The table that ends every run of dustglow_bench: each row relates
// benchmarks of the same run, so that the machine's speed and its load at
// the time cancel out.
//
// A source file adds rows at static initialisation, next to the benchmarks
// it registers (FieldBench.cpp and PresentBench.cpp do):
//
//     static const bool kRows = AddRatioRow("present / memcpy, 640x480",
//         "Present/640x480", "Memcpy/640x480", "close to 1");
//
// Rows that are not a plain ratio of two times (a share of the host's CPU
// time, say, that a benchmark reports as a counter) use AddFigureRow() with
// a function of everything measured.
#ifndef DUSTGLOW_BENCH_RATIO_TABLE_H
#define DUSTGLOW_BENCH_RATIO_TABLE_H

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>

// What the benchmarks that ran measured, by benchmark name.
struct Measurements {
	// CPU seconds per iteration, the fastest of the repetitions.
	std::map<std::string, double> seconds;
	// User counters (benchmark::State::counters), from that same repetition.
	std::map<std::string, std::map<std::string, double>> counters;

	std::optional<double> SecondsOf(const std::string& benchmark) const;
	std::optional<double> CounterOf(const std::string& benchmark,
		const std::string& counter) const;
};

bool AddRatioRow(const std::string& label, const std::string& numerator,
	const std::string& denominator, const std::string& target);

bool AddFigureRow(const std::string& label, const std::string& target,
	std::function<std::optional<double>(const Measurements&)> figure);

// A row that is one counter of one benchmark as it stands (a share of a
// core, say).
bool AddCounterRow(const std::string& label, const std::string& target,
	const std::string& benchmark, const std::string& counter);

// Prints every row in the order they were added; rows whose benchmarks did
// not run (filtered out, or failed) say so.
void PrintRatioTable(std::FILE* out, const Measurements& measured, int repetitions);

#endif	// DUSTGLOW_BENCH_RATIO_TABLE_H
