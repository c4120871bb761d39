#include "store/sakujyo.h"

#include "store/hensuu.h"

namespace kelvora {

namespace {

template <typename R>
int DeleteCurrent(Table<R>& table, int16_t& current) {
  const int16_t c = current;
  if (c < 1 || c > table.Count()) return -1;
  table.Remove(c);
  if (table.Count() < current) current = table.Count();
  return c - 1;
}

// The series numbers of the plans after series `removed` was deleted.
void RenumberPlanSeries(Table<SekkeiRecord>& plans, int16_t removed) {
  auto renumber = [removed](int16_t& no) {
    if (no == removed) {
      no = 0;
    } else if (no > removed) {
      --no;
    }
  };
  for (int i = 1; i <= plans.Count(); ++i) {
    SekkeiRecord plan = plans(i);
    renumber(plan.TionNo);
    renumber(plan.NormalNo);
    if (!(plan == plans(i))) plans.Replace(i, std::move(plan));
  }
}

}  // namespace

int DeleteBaiyoRecord(hensuu& store) { return DeleteCurrent(store.BaiyoTable, store.BaiyoCurrent); }
int DeleteHojyoRecord(hensuu& store) { return DeleteCurrent(store.HojyoTable, store.HojyoCurrent); }
int DeleteParaRecord(hensuu& store) { return DeleteCurrent(store.ParaTable, store.ParaCurrent); }
int DeleteTionRecord(hensuu& store) {
  const int removed = DeleteCurrent(store.TionTable, store.TionCurrent);
  if (removed >= 0) RenumberPlanSeries(store.SekkeiTable, static_cast<int16_t>(removed + 1));
  return removed;
}
int DeleteSuiteiRecord(hensuu& store) {
  return DeleteCurrent(store.SuiteiTable, store.SuiteiCurrent);
}
int DeleteSekkeiRecord(hensuu& store) {
  return DeleteCurrent(store.SekkeiTable, store.SekkeiCurrent);
}

int DeleteRecordOfKind(hensuu& store, int16_t kind) {
  switch (kind) {
    case kDeleteBaiyo:
      return DeleteBaiyoRecord(store);
    case kDeleteHojyo:
      return DeleteHojyoRecord(store);
    case kDeletePara:
      return DeleteParaRecord(store);
    case kDeleteTion:
      return DeleteTionRecord(store);
    case kDeleteSuitei:
      return DeleteSuiteiRecord(store);
    case kDeleteSekkei:
      return DeleteSekkeiRecord(store);
    default:
      return -1;
  }
}

int16_t CountOfKind(const hensuu& store, int16_t kind) {
  switch (kind) {
    case kDeleteBaiyo:
      return store.BaiyoCount();
    case kDeleteHojyo:
      return store.HojyoCount();
    case kDeletePara:
      return store.ParaCount();
    case kDeleteTion:
      return store.TionCount();
    case kDeleteSuitei:
      return store.SuiteiCount();
    case kDeleteSekkei:
      return store.SekkeiCount();
    default:
      return 0;
  }
}

int16_t* CurrentOfKind(hensuu& store, int16_t kind) {
  switch (kind) {
    case kDeleteBaiyo:
      return &store.BaiyoCurrent;
    case kDeleteHojyo:
      return &store.HojyoCurrent;
    case kDeletePara:
      return &store.ParaCurrent;
    case kDeleteTion:
      return &store.TionCurrent;
    case kDeleteSuitei:
      return &store.SuiteiCurrent;
    case kDeleteSekkei:
      return &store.SekkeiCurrent;
    default:
      return nullptr;
  }
}

std::string DeletionHeading(int16_t kind) {
  switch (kind) {
    case kDeleteBaiyo:
    case kDeleteHojyo:
      return "土壌（肥料）の培養結果 ";
    case kDeletePara:
      return "土壌（肥料）のパラメータ計算結果 ";
    case kDeleteTion:
      return "地温データ";
    case kDeleteSuitei:
      return "窒素無機化推定結果（土壌（肥料）名 × 地温名）";
    case kDeleteSekkei:
      return "窒素供給量の予測（計画名）";
    default:
      return std::string();
  }
}

std::vector<std::string> DeletionEntries(const hensuu& store, int16_t kind) {
  std::vector<std::string> out;
  switch (kind) {
    case kDeleteBaiyo:
      for (const BaiyoRecord& r : store.BaiyoTable.Rows()) out.push_back(r.SoilName);
      break;
    case kDeleteHojyo:
      for (const HojyoRecord& r : store.HojyoTable.Rows()) out.push_back(r.SoilName);
      break;
    case kDeletePara:
      for (const ParaRecord& r : store.ParaTable.Rows()) out.push_back(r.SoilName);
      break;
    case kDeleteTion:
      for (const TionRecord& r : store.TionTable.Rows()) out.push_back(r.SiteName);
      break;
    case kDeleteSuitei:
      for (const SuiteiRecord& r : store.SuiteiTable.Rows()) {
        out.push_back(r.SoilName + " × " + r.SiteName);
      }
      break;
    case kDeleteSekkei:
      for (const SekkeiRecord& r : store.SekkeiTable.Rows()) out.push_back(r.PlanName);
      break;
    default:
      break;
  }
  return out;
}

}  // namespace kelvora
