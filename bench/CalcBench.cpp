#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Evaluator.h"
#include "ExpressionChecks.h"
#include "OperatorTable.h"

namespace calc {
namespace {

constexpr std::int64_t kLongestTyped = 32764;
constexpr std::int64_t kMillion = 1000000;

// A typed expression of exactly `length` characters: decimal and integer operands, all five
// operators, no zero divisor and no doubled operator. The "%" keeps the accumulator small, so the
// whole text is evaluated.
std::u16string realisticExpression(std::int64_t length) {
  constexpr std::u16string_view kPiece = u"12.5+3*7-1/4%9+";
  const auto size = static_cast<std::size_t>(length);
  std::u16string expression;
  expression.reserve(size + kPiece.size());
  while (expression.size() < size) {
    expression += kPiece;
  }
  expression.resize(size);
  if (expression.back() < u'0' || expression.back() > u'9') {
    expression.back() = u'7';  // no empty last operand, which could be a zero divisor
  }
  return expression;
}

void evaluate(benchmark::State& state) {
  const std::u16string expression = realisticExpression(state.range(0));
  if (evaluateLeftToRight(expression).status != EvalStatus::Value) {
    state.SkipWithError("the expression did not evaluate to a value");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(evaluateLeftToRight(expression));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(evaluate)->Arg(kLongestTyped)->Arg(kMillion)->Unit(benchmark::kMicrosecond);

void doubledOperator(benchmark::State& state) {
  const std::u16string expression = realisticExpression(state.range(0));
  OperatorTable table;
  table.fill();
  for (auto _ : state) {
    benchmark::DoNotOptimize(hasDoubledOperator(expression, table));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(doubledOperator)->Arg(kLongestTyped)->Unit(benchmark::kMicrosecond);

void stripEnds(benchmark::State& state) {
  // Operators at both ends, so every table entry removes something.
  const std::u16string expression = u"*-" + realisticExpression(state.range(0) - 4) + u"+/";
  OperatorTable table;
  table.fill();
  for (auto _ : state) {
    benchmark::DoNotOptimize(stripEndOperators(expression, table));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(stripEnds)->Arg(kLongestTyped)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace calc
