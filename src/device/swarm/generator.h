// Random days of phone life: a weighted grammar over the scenario language's verbs, with
// realistic spacing and states kept consistent (an answer only while a call rings, a read only
// while a message is unread). A day is drawn from a source of choices: a seeded generator of
// our own (the same seed gives the same day on any machine and compiler), or a fuzzer's bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace swarm {

// Where a day's choices come from.
class Choices {
 public:
  virtual ~Choices() = default;
  // A number in [0, n); n > 0.
  virtual uint32_t Below(uint32_t n) = 0;
  bool Percent(uint32_t p) { return Below(100) < p; }
  uint32_t Between(uint32_t lo, uint32_t hi) { return lo + Below(hi - lo + 1); }
  template <class T>
  const T& Pick(std::span<const T> items) {
    return items[Below(static_cast<uint32_t>(items.size()))];
  }
};

// splitmix64: small, fast, and fixed by its definition rather than by a library.
class SeededChoices : public Choices {
 public:
  explicit SeededChoices(uint64_t seed) : state_(seed) {}
  uint32_t Below(uint32_t n) override;

 private:
  uint64_t state_;
};

// A fuzzer's bytes as the choices; once they run out every choice is 0, so a day always ends.
class ByteChoices : public Choices {
 public:
  ByteChoices(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint32_t Below(uint32_t n) override;
  bool exhausted() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// One event with the time that passes after it: the unit that shrinking keeps or drops.
struct Event {
  std::string line;
  std::string wait;  // "wait 3s", or empty
};

struct Day {
  std::vector<std::string> setup;  // settings, options, the daemon's start
  std::vector<Event> events;
  std::vector<std::string> promises;  // the names checked at the end (empty: all)
};

struct DayShape {
  uint32_t minEvents = 50;
  uint32_t maxEvents = 200;
};

Day GenerateDay(Choices& choices, const DayShape& shape = {});
// The day as a scenario that `dorvane2-sim run` plays: setup, events with their waits, a last
// settling wait, and `expect promises` with the day's promise names.
std::string DayText(const Day& day, const std::string& title);

}  // namespace swarm
