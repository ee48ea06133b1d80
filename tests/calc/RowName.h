#pragma once

#include <gtest/gtest.h>

#include <string>

namespace calc {

// Names each row of a table-driven test after its `name` member, so that a failure says which
// behaviour broke.
struct RowName {
  template <class Row>
  std::string operator()(const testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

}  // namespace calc
