// SPDX-License-Identifier: MIT
// The committed pair table, read as source text: every literal must obey the
// instance's rules, and be what the program was compiled with.
#include "quadobj/pair_coefficients.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using literal_table = std::vector<std::vector<std::string>>;  // [i][j], "" on the diagonal

literal_table read_literals() {
  std::ifstream source(PAIR_COEFFICIENTS_SOURCE);
  literal_table rows;
  std::regex const row_line(R"(^\s*\{([^{}]*)\},\s*$)");
  for (std::string line; std::getline(source, line);) {
    std::smatch match;
    if (!std::regex_match(line, match, row_line)) continue;
    std::vector<std::string> row;
    std::stringstream entries(match[1].str());
    for (std::string entry; std::getline(entries, entry, ',');)
      row.push_back(std::regex_replace(entry, std::regex(R"(\s+)"), ""));
    row.insert(row.begin() + static_cast<std::ptrdiff_t>(rows.size()), "");
    rows.push_back(row);
  }
  return rows;
}

// Whole billionths: exact, unlike the doubles the literals become.
std::int64_t billionths(std::string const& text) {
  auto const point = text.find('.');
  std::string fraction = text.substr(point + 1);
  fraction.resize(9, '0');
  return std::stoll(text.substr(0, point)) * 1'000'000'000 + std::stoll(fraction);
}

class PairTable : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { q = new literal_table(read_literals()); }
  static void TearDownTestSuite() { delete q; }
  static literal_table* q;
};
literal_table* PairTable::q = nullptr;

TEST_F(PairTable, HasFiftyRowsOfFortyNineEntries) {
  ASSERT_EQ(q->size(), 50U);
  for (auto const& row : *q) EXPECT_EQ(row.size(), 50U);
}

TEST_F(PairTable, LiteralsHaveAtMostNineDecimalsEndingInFiveAtNine) {
  std::regex const decimal(R"(^[0-9]+\.[0-9]{1,9}$)");
  for (std::size_t i = 0; i < q->size(); ++i)
    for (std::size_t j = 0; j < 50; ++j) {
      std::string const& text = (*q)[i][j];
      if (i == j) continue;
      ASSERT_TRUE(std::regex_match(text, decimal)) << "Q[" << i << "][" << j << "] = " << text;
      std::size_t const digits = text.size() - text.find('.') - 1;
      EXPECT_TRUE(digits < 9 || text.back() == '5') << "Q[" << i << "][" << j << "] = " << text;
    }
}

TEST_F(PairTable, ExtremesAreUniqueAndWhereTheyBelong) {
  std::int64_t const smallest = billionths("5.015699605");
  std::int64_t const largest = billionths("99.821174565");
  EXPECT_EQ((*q)[13][35], "5.015699605");
  EXPECT_EQ((*q)[0][10], "99.821174565");
  for (std::size_t i = 0; i < q->size(); ++i)
    for (std::size_t j = 0; j < 50; ++j) {
      if (i == j || (i == 13 && j == 35) || (i == 0 && j == 10)) continue;
      std::int64_t const v = billionths((*q)[i][j]);
      EXPECT_TRUE(smallest < v && v < largest) << "Q[" << i << "][" << j << "] = " << (*q)[i][j];
    }
}

TEST_F(PairTable, NoPairIsSymmetric) {
  for (std::size_t i = 0; i < q->size(); ++i)
    for (std::size_t j = i + 1; j < 50; ++j)
      EXPECT_NE(billionths((*q)[i][j]), billionths((*q)[j][i])) << i << ", " << j;
}

TEST_F(PairTable, FixedEntriesAreKept) {
  EXPECT_EQ((*q)[0][1], "85.11033726");
  EXPECT_EQ((*q)[1][0], "67.805094795");
  EXPECT_EQ((*q)[0][49], "33.29155708");
  EXPECT_EQ((*q)[49][0], "46.53117641");
  EXPECT_EQ((*q)[0][43], "9.42239383");
  EXPECT_EQ((*q)[35][13], "19.922868565");
}

TEST_F(PairTable, CompiledValuesAreTheLiterals) {
  for (std::size_t i = 0; i < q->size(); ++i)
    for (std::size_t n = 0; n < 49; ++n) {
      std::size_t const j = n < i ? n : n + 1;
      EXPECT_EQ(std::strtod((*q)[i][j].c_str(), nullptr), objeval::quadobj::pair_coefficients[i][n]);
    }
}

}  // namespace
