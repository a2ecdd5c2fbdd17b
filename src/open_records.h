// Which records the library opened, each with a copy of the record as the
// library last left it. Opening a record again lets go of what the library
// stored there, and reads it from the copy: the record itself may be a copy
// of another record, memory freed without Close and reused, or garbage that
// was never opened, so none of its fields is trusted. Close forgets every
// entry that holds an interface it releases, so no entry outlives its
// interfaces; a record that is not open (one whose copy was closed, say)
// has its fields emptied with nothing released, and its other methods do
// nothing. Each entry also holds the record's side record: what the library
// keeps for it beyond its fields (a display's state, the devices' events),
// found through the interfaces the record holds, and handed back to the
// caller with the entry, to let go of once the interfaces are released.
// The list has no fixed size; separate records may be opened and closed on
// separate threads, so one lock guards it; a side record is used by the
// thread using its record.
#ifndef LURN_OPEN_RECORDS_H
#define LURN_OPEN_RECORDS_H

#include <lurn.h>
#include <stddef.h>
#include <string.h>

#include <mutex>
#include <vector>

#include "empty_field.h"

const size_t kMostInterfaces = 6;

// The interfaces a record holds (empty fields left out); defined beside
// each class's Close.
size_t HeldInterfaces(const LurnDirectDraw &record,
                      const void *held[kMostInterfaces]);
size_t HeldInterfaces(const LurnDirectInput &record,
                      const void *held[kMostInterfaces]);

// The interface everything else in a record comes from.
inline const void *RootOf(const LurnDirectDraw &record) {
  return record.directDraw;
}
inline const void *RootOf(const LurnDirectInput &record) {
  return record.directInput;
}

// Whether the library opened `record` and has not closed it (nor any copy
// of it): every method checks before it touches an interface.
bool IsOpen(const LurnDirectDraw &record);
bool IsOpen(const LurnDirectInput &record);

template <class Record, class Side> class OpenRecords {
public:
  // Lists `record` with a copy of what it holds now, in place of any
  // earlier entry of it, whose side record it keeps; a new entry has
  // `side`.
  void Remember(const Record &record, Side *side = NULL) {
    std::lock_guard<std::mutex> guard(lock_);
    for (Entry &entry : entries_)
      if (entry.address == &record) {
        entry.copy = record;
        return;
      }
    entries_.push_back(Entry{&record, record, side});
  }

  // Takes the entry of `record` off the list: true, with the copy in
  // `copy` and its side record in `side`, when there was one.
  bool Take(const Record &record, Record &copy, Side *&side) {
    std::lock_guard<std::mutex> guard(lock_);
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].address == &record) {
        copy = entries_[i].copy;
        side = entries_[i].side;
        entries_[i] = entries_.back();
        entries_.pop_back();
        return true;
      }
    side = NULL;
    return false;
  }

  // The side record of the listed record that holds the interface `held`,
  // or null.
  Side *SideHolding(const void *held) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const Entry &entry : entries_)
      if (Shares(entry.copy, &held, 1))
        return entry.side;
    return NULL;
  }

  // Whether `record` is open: listed with the root interface it holds, or
  // holding the very interfaces of a listed record (a copy of it). A
  // record whose interfaces another record's Close released is neither.
  bool IsOpen(const Record &record) {
    const void *held[kMostInterfaces];
    size_t heldCount = HeldInterfaces(record, held);
    std::lock_guard<std::mutex> guard(lock_);
    for (const Entry &entry : entries_) {
      if (entry.address == &record && RootOf(entry.copy) == RootOf(record))
        return true;
      const void *listed[kMostInterfaces];
      if (heldCount != 0 && HeldInterfaces(entry.copy, listed) == heldCount &&
          memcmp(listed, held, heldCount * sizeof held[0]) == 0)
        return true;
    }
    return false;
  }

  // Forgets the entry of `record` (if not null) and every entry that holds
  // one of the interfaces `released` holds, adding their side records to
  // `sides`. Call it before releasing them.
  void Forget(const Record *record, const Record &released,
              std::vector<Side *> &sides) {
    const void *gone[kMostInterfaces];
    size_t goneCount = HeldInterfaces(released, gone);
    std::lock_guard<std::mutex> guard(lock_);
    for (size_t i = 0; i < entries_.size();) {
      if (entries_[i].address == record ||
          Shares(entries_[i].copy, gone, goneCount)) {
        if (entries_[i].side != NULL)
          sides.push_back(entries_[i].side);
        entries_[i] = entries_.back();
        entries_.pop_back();
      } else {
        ++i;
      }
    }
  }

private:
  struct Entry {
    const Record *address;
    Record copy;
    Side *side;
  };

  static bool Shares(const Record &copy, const void *const *gone,
                     size_t goneCount) {
    const void *held[kMostInterfaces];
    size_t heldCount = HeldInterfaces(copy, held);
    for (size_t i = 0; i < heldCount; ++i)
      for (size_t j = 0; j < goneCount; ++j)
        if (held[i] == gone[j])
          return true;
    return false;
  }

  std::mutex lock_;
  std::vector<Entry> entries_;
};

// Adds `pointer` to `held` unless it is empty.
inline void AddHeld(const void *pointer, const void *held[kMostInterfaces],
                    size_t &count) {
  if (!Empty(pointer) && count < kMostInterfaces)
    held[count++] = pointer;
}

#endif
