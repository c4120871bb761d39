#include "store/hensuu.h"

#include <atomic>

namespace kelvora {

uint64_t NextTableGeneration() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

uint64_t NextRecordKey() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

std::string TableFullMessage() {
  return "データの件数が上限（32767件）に達しているため、これ以上追加できません。\n"
         "不要なデータを削除してから、もう一度行って下さい。";
}

void hensuu::Reset() {
  BaiyoTable.Clear();
  ParaTable.Clear();
  TionTable.Clear();
  SuiteiTable.Clear();
  HojyoTable.Clear();
  SekkeiTable.Clear();
  BaiyoCurrent = ParaCurrent = TionCurrent = SuiteiCurrent = HojyoCurrent = SekkeiCurrent = 0;
  WindowCascadeOffset = 0;
  DeleteKind = 0;
  PrintKind = 0;
  FilesNotToSave.clear();
}

}  // namespace kelvora
