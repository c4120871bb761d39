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

}  // namespace

int DeleteBaiyoRecord(hensuu& store) { return DeleteCurrent(store.BaiyoTable, store.BaiyoCurrent); }
int DeleteHojyoRecord(hensuu& store) { return DeleteCurrent(store.HojyoTable, store.HojyoCurrent); }
int DeleteParaRecord(hensuu& store) { return DeleteCurrent(store.ParaTable, store.ParaCurrent); }
int DeleteTionRecord(hensuu& store) { return DeleteCurrent(store.TionTable, store.TionCurrent); }
int DeleteSuiteiRecord(hensuu& store) {
  return DeleteCurrent(store.SuiteiTable, store.SuiteiCurrent);
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
    default:
      break;
  }
  return out;
}

}  // namespace kelvora
