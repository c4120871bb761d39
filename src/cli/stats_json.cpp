#include "cli/stats_json.h"

#include "cli/json.h"

namespace kelvora {
namespace {

std::string Number(const std::optional<double>& v) { return v ? JsonDouble(*v) : "null"; }

template <typename T, typename F>
std::string List(const std::vector<T>& items, F each) {
  std::string s = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) s += ", ";
    s += each(items[i]);
  }
  return s + "]";
}

std::string Derived(const std::optional<DerivedValue>& v) {
  return v ? JsonDouble(v->value) : "null";
}

}  // namespace

std::string JsonModelStats(const ModelStats& st) {
  const LsqStats& l = st.lsq;
  std::vector<size_t> slots(st.values.size());
  for (size_t j = 0; j < slots.size(); ++j) slots[j] = j;
  std::string s = "{\"n\": " + std::to_string(l.n) + ", \"dof\": " + std::to_string(l.dof) +
                  ", \"rss\": " + JsonDouble(l.rss) + ", \"sigma\": " + Number(l.sigma) +
                  ", \"r2\": " + Number(l.r2) + ", \"adj_r2\": " + Number(l.adjR2) +
                  ", \"aic\": " + JsonDouble(st.aic) + ", \"aicc\": " + Number(st.aicc) +
                  ", \"bic\": " + JsonDouble(st.bic) +
                  ", \"delta_aic\": " + JsonDouble(st.deltaAic) +
                  ", \"akaike_weight\": " + JsonDouble(st.akaikeWeight);
  s += ", \"se\": " + List(l.se, Number);
  s += ", \"ci95\": " + List(slots, [&](size_t j) {
         return l.lo[j] && l.hi[j] ? "[" + JsonDouble(*l.lo[j]) + ", " + JsonDouble(*l.hi[j]) + "]"
                                   : std::string("null");
       });
  s += ", \"t\": " + List(l.t, Number);
  s += ", \"corr\": " + List(l.corr, [](const std::vector<std::optional<double>>& row) {
         return List(row, Number);
       });
  s += ", \"half_life\": " + List(st.halfLife, Derived);
  s += ", \"q10\": " + List(st.q10, Derived);
  s += ", \"warnings\": " + List(st.warnings, [](const std::string& w) { return JsonString(w); });
  return s + "}";
}

std::string JsonRefined(const RefinedModel& r) {
  return "{\"params\": " + List(r.params, JsonSingle) + ", \"rss\": " + JsonSingle(r.rss) +
         ", \"aic\": " + JsonSingle(r.aic) + ", \"improved\": " + JsonBool(r.improved) +
         ", \"start\": " + JsonString(r.start) + "}";
}

}  // namespace kelvora
