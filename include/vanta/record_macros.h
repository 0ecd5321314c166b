// Expands a field table (see vanta/rtc/rtc_records.h) into a plain record struct.
#pragma once

#define VANTA_RECORD_MEMBER(type, name) type name{};
#define VANTA_RECORD_SKIP(type, name)

// Records compare by value so hosts and tests can check what came back.
#define VANTA_RECORD_EQ(type, name) &&a.name == b.name

#define VANTA_DECLARE_RECORD(Name, FIELDS)                                     \
  struct Name {                                                                \
    FIELDS(VANTA_RECORD_MEMBER, VANTA_RECORD_SKIP)                             \
    friend bool operator==(const Name& a, const Name& b) {                     \
      (void)a;                                                                 \
      (void)b;                                                                 \
      return true FIELDS(VANTA_RECORD_EQ, VANTA_RECORD_SKIP);                  \
    }                                                                          \
    friend bool operator!=(const Name& a, const Name& b) { return !(a == b); } \
  };
