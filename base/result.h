#pragma once

#include <optional>
#include <string>
#include <utility>

namespace quorvel {

// A failure's message, in the words the front ends show.
struct Failure {
  std::string message;
};

// What an operation of the plain C++ layers returns: its value, or the message of its failure.
// Only the front ends (and control/, which speaks for them) show the message.
//
//   Result<ResolvedChart> chart = ResolveChart(path, fmin, fmax);
//   if (!chart) return Failure{chart.Message()};
//   Use(*chart);
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : m_value(std::move(value)) {}  // NOLINT: a value converts to its success
  Result(Failure failure) : m_message(std::move(failure.message)) {}  // NOLINT: so does a failure

  [[nodiscard]] bool Ok() const { return m_value.has_value(); }
  explicit operator bool() const { return Ok(); }
  // The value; only when Ok().
  const T& operator*() const& { return *m_value; }
  T& operator*() & { return *m_value; }
  T&& operator*() && { return std::move(*m_value); }
  const T* operator->() const { return &*m_value; }
  T* operator->() { return &*m_value; }
  // The failure's message; empty on success.
  [[nodiscard]] const std::string& Message() const { return m_message; }

 private:
  std::optional<T> m_value;
  std::string m_message;
};

// An operation without a value: success, or the message of its failure.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;                                                              // success
  Result(Failure failure) : m_ok(false), m_message(std::move(failure.message)) {}  // NOLINT

  [[nodiscard]] bool Ok() const { return m_ok; }
  explicit operator bool() const { return m_ok; }
  [[nodiscard]] const std::string& Message() const { return m_message; }

 private:
  bool m_ok = true;
  std::string m_message;
};

}  // namespace quorvel
