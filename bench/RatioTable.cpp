#include "RatioTable.h"

#include <vector>


namespace {

struct Row {
	std::string label;
	std::string target;
	std::function<std::optional<double>(const Measurements&)> figure;
};

// Function-local, so that rows added by other files' static initialisers
// find it constructed.
std::vector<Row>&
Rows()
{
	static std::vector<Row> rows;
	return rows;
}

}	// namespace


std::optional<double>
Measurements::SecondsOf(const std::string& benchmark) const
{
	auto found = seconds.find(benchmark);
	if (found == seconds.end())
		return std::nullopt;
	return found->second;
}


std::optional<double>
Measurements::CounterOf(const std::string& benchmark, const std::string& counter) const
{
	auto found = counters.find(benchmark);
	if (found == counters.end())
		return std::nullopt;
	auto value = found->second.find(counter);
	if (value == found->second.end())
		return std::nullopt;
	return value->second;
}


bool
AddRatioRow(const std::string& label, const std::string& numerator,
	const std::string& denominator, const std::string& target)
{
	return AddFigureRow(label, target,
		[numerator, denominator](const Measurements& measured) -> std::optional<double> {
			std::optional<double> top = measured.SecondsOf(numerator);
			std::optional<double> bottom = measured.SecondsOf(denominator);
			if (!top || !bottom || !(*bottom > 0))
				return std::nullopt;
			return *top / *bottom;
		});
}


bool
AddFigureRow(const std::string& label, const std::string& target,
	std::function<std::optional<double>(const Measurements&)> figure)
{
	Rows().push_back(Row{label, target, std::move(figure)});
	return true;
}


bool
AddCounterRow(const std::string& label, const std::string& target,
	const std::string& benchmark, const std::string& counter)
{
	return AddFigureRow(label, target, [benchmark, counter](const Measurements& measured) {
		return measured.CounterOf(benchmark, counter);
	});
}


void
PrintRatioTable(std::FILE* out, const Measurements& measured, int repetitions)
{
	size_t width = 0;
	for (const Row& row : Rows())
		width = row.label.size() > width ? row.label.size() : width;

	std::fprintf(out, "\nRatios (CPU time per iteration, fastest of %d repetition%s):\n",
		repetitions, repetitions == 1 ? "" : "s");
	for (const Row& row : Rows()) {
		std::optional<double> value = row.figure(measured);
		if (value) {
			std::fprintf(out, "  %-*s  %7.3f   target %s\n", (int)width, row.label.c_str(),
				*value, row.target.c_str());
		} else {
			std::fprintf(out, "  %-*s  %7s   target %s\n", (int)width, row.label.c_str(),
				"not run", row.target.c_str());
		}
	}
}
