// Which records the library opened and still holds. Opening a record again
// lets go of what it holds only when it is listed here: a record that was
// never opened may hold anything (a local's stack garbage, a debug fill), so
// none of its fields is read. An entry is the record's address with the two
// interface values the library stored in it, so that a record freed without
// Close whose memory comes back as another record does not pass for open.
// Records are used by one thread each; the slots are claimed atomically so
// that separate records on separate threads stay apart. When every slot is
// taken a record goes unlisted: opening it again then overwrites its fields
// as on a fresh record.
#ifndef LURN_OPEN_RECORDS_H
#define LURN_OPEN_RECORDS_H

#include <stddef.h>

#include <atomic>

struct OpenRecord {
  std::atomic<const void *> record;
  const void *first, *second;
};

const size_t kOpenRecordSlots = 64;
inline OpenRecord openRecords[kOpenRecordSlots];

inline OpenRecord *FindOpenRecord(const void *record) {
  for (OpenRecord &slot : openRecords)
    if (slot.record.load(std::memory_order_acquire) == record)
      return &slot;
  return NULL;
}

// The record is listed and still holds what the library stored in it.
inline bool HeldOpen(const void *record, const void *first,
                     const void *second) {
  const OpenRecord *slot = FindOpenRecord(record);
  return slot != NULL && slot->first == first && slot->second == second;
}

inline void ForgetRecord(const void *record) {
  if (OpenRecord *slot = FindOpenRecord(record))
    slot->record.store(NULL, std::memory_order_release);
}

// Lists the record with what it now holds, or forgets it if it holds
// nothing.
inline void RememberRecord(const void *record, const void *first,
                           const void *second) {
  if (first == NULL && second == NULL) {
    ForgetRecord(record);
    return;
  }
  OpenRecord *slot = FindOpenRecord(record);
  for (size_t i = 0; slot == NULL && i < kOpenRecordSlots; ++i) {
    const void *none = NULL;
    if (openRecords[i].record.compare_exchange_strong(
            none, record, std::memory_order_acq_rel))
      slot = &openRecords[i];
  }
  if (slot != NULL) {
    slot->first = first;
    slot->second = second;
  }
}

#endif
