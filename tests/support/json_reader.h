// JSON output of the CLI read back with a real JSON parser (nlohmann-json):
// one object per line, and the few looks the tests take at a value.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/cli_runner.h"

namespace vuduzez::testing {

using Json = nlohmann::json;

// Every line parsed as one JSON object; a line that is not one fails the test.
inline std::vector<Json> JsonLines(const std::string& out) {
  std::vector<Json> objects;
  for (const std::string& line : Lines(out)) {
    Json j = Json::parse(line, nullptr, /*allow_exceptions=*/false);
    EXPECT_TRUE(j.is_object()) << "not a JSON object: " << line;
    if (j.is_object()) objects.push_back(std::move(j));
  }
  return objects;
}

// A string member; a marker text when it is missing or not a string.
inline std::string Str(const Json& obj, const std::string& key) {
  if (!obj.contains(key)) return "<missing " + key + ">";
  const Json& v = obj.at(key);
  return v.is_string() ? v.get<std::string>() : "<not a string: " + v.dump() + ">";
}

// The JSON text of a member that is not a string (true, 5, null); "<string>"
// for a string.
inline std::string Literal(const Json& obj, const std::string& key) {
  if (!obj.contains(key)) return "<missing " + key + ">";
  const Json& v = obj.at(key);
  return v.is_string() ? "<string>" : v.dump();
}

// A number member (NaN when missing or not a number).
inline double Number(const Json& obj, const std::string& key) {
  if (!obj.contains(key) || !obj.at(key).is_number())
    return std::numeric_limits<double>::quiet_NaN();
  return obj.at(key).get<double>();
}

}  // namespace vuduzez::testing
