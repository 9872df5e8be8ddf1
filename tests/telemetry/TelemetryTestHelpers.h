#pragma once

#include <gtest/gtest.h>

#include "telemetry/Outbox.h"
#include "telemetry/StateSnapshot.h"

inline void ExpectSameState(const telemetry::PersistentState& actual, const telemetry::PersistentState& expected,
                            const char* what) {
  EXPECT_EQ(actual.installId, expected.installId) << what;
  EXPECT_EQ(actual.installDateProvenance, expected.installDateProvenance) << what;
  EXPECT_EQ(actual.installFirstSeenUnix, expected.installFirstSeenUnix) << what;
  EXPECT_EQ(actual.eventSequence, expected.eventSequence) << what;
  EXPECT_EQ(actual.activityCount, expected.activityCount) << what;
  EXPECT_EQ(actual.firstRunUnix, expected.firstRunUnix) << what;
  EXPECT_EQ(actual.orderingReliable, expected.orderingReliable) << what;
}

inline bool SameState(const telemetry::PersistentState& a, const telemetry::PersistentState& b) {
  return a.installId == b.installId && a.installDateProvenance == b.installDateProvenance &&
         a.installFirstSeenUnix == b.installFirstSeenUnix && a.eventSequence == b.eventSequence &&
         a.activityCount == b.activityCount && a.firstRunUnix == b.firstRunUnix &&
         a.orderingReliable == b.orderingReliable;
}

inline bool SameOutbox(const telemetry::Outbox& a, const telemetry::Outbox& b) {
  if (a.dropped != b.dropped || a.records.size() != b.records.size()) return false;
  for (size_t i = 0; i < a.records.size(); ++i) {
    const telemetry::Record& x = a.records[i];
    const telemetry::Record& y = b.records[i];
    if (x.createdUnix != y.createdUnix || x.endpoint != y.endpoint || x.body != y.body) return false;
  }
  return true;
}
