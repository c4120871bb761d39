// The comparison of a finished fit with a reference table's expected results:
// every single to the last bit.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "kinetics/fit_session.h"
#include "mini_json.h"

namespace kelvora::testing {

inline float F32(const Json& j) { return static_cast<float>(j.number); }

// Initial values, parameters, RSS, AIC and sweeps of every model, the number
// of observations and the best model.
inline void ExpectFitMatchesReference(const FitSession& s, const Json& expected) {
  EXPECT_EQ(s.obsCount, expected["observations"].number);
  const Json& models = expected["models"];
  ASSERT_EQ(models.size(), 3u);
  for (size_t i = 0; i < models.size(); ++i) {
    const Json& m = models[i];
    const int16_t no = static_cast<int16_t>(m["model"].number);
    SCOPED_TRACE("model " + std::to_string(no));
    ASSERT_EQ(s.initialParams[no].size(), m["initial"].size());
    for (size_t k = 0; k < m["initial"].size(); ++k)
      EXPECT_EQ(s.initialParams[no][k], F32(m["initial"][k])) << "initial " << k;
    ASSERT_EQ(s.params[no].size(), m["params"].size());
    for (size_t k = 0; k < m["params"].size(); ++k)
      EXPECT_EQ(s.params[no][k], F32(m["params"][k])) << "param " << k;
    EXPECT_EQ(s.rss[no], F32(m["rss"]));
    EXPECT_EQ(s.aic[no], F32(m["aic"]));
    EXPECT_EQ(s.sweeps[no], m["sweeps"].number);
  }
  EXPECT_EQ(s.currentModel, expected["best"].number);
}

}  // namespace kelvora::testing
