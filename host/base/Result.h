// The outcome of an operation that can fail in a way the user has to hear
// about: a value, or a message that says what went wrong and what to do.
#ifndef SAVERHOST_RESULT_H
#define SAVERHOST_RESULT_H

#include <string>
#include <utility>
#include <variant>

struct Error {
	std::string message;
};

template<typename T>
class [[nodiscard]] Result {
public:
	Result(T value) : fState(std::move(value)) {}
	Result(Error error) : fState(std::move(error)) {}

	bool Ok() const { return std::holds_alternative<T>(fState); }
	explicit operator bool() const { return Ok(); }

	T& Value() { return std::get<T>(fState); }
	const T& Value() const { return std::get<T>(fState); }
	const std::string& Message() const { return std::get<Error>(fState).message; }

private:
	std::variant<T, Error> fState;
};

// Success carries nothing; failure carries its message.
template<>
class [[nodiscard]] Result<void> {
public:
	Result() = default;
	Result(Error error) : fError(std::move(error.message)), fFailed(true) {}

	bool Ok() const { return !fFailed; }
	explicit operator bool() const { return Ok(); }

	const std::string& Message() const { return fError; }

private:
	std::string fError;
	bool fFailed = false;
};

#endif	// SAVERHOST_RESULT_H
