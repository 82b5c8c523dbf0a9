#pragma once

// A value, or the message that says why there is none: what an operation on traces answers when
// it refuses what it was asked (too few traces, ranges without overlap), in words a user reads.
//
//   OrMessage<Trace> mean = AverageTraces(traces, AverageWay::kPowerMean, {});
//   if (!mean.Ok()) return Fail(mean.Message());
//   Use(mean.Value());
#include <string>
#include <utility>
#include <variant>

namespace quorvel {

// The refusal an operation returns instead of its value.
struct Refusal {
  std::string message;
};

template <class T>
class OrMessage {
 public:
  OrMessage(T value) : m_state(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit
  OrMessage(Refusal refusal) : m_state(std::in_place_index<1>, std::move(refusal)) {}  // NOLINT

  [[nodiscard]] bool Ok() const { return m_state.index() == 0; }
  // Only when Ok().
  [[nodiscard]] const T& Value() const& { return std::get<0>(m_state); }
  [[nodiscard]] T&& Value() && { return std::get<0>(std::move(m_state)); }
  // Only when not Ok().
  [[nodiscard]] const std::string& Message() const { return std::get<1>(m_state).message; }

 private:
  std::variant<T, Refusal> m_state;
};

}  // namespace quorvel
