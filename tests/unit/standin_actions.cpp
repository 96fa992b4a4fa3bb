#include "standin_actions.h"

#include <array>
#include <utility>

namespace {

std::vector<ActionCall> gCalls;
int gResults[kEventTypeCount];

int Record(EventType type, EventContext& event) {
  ActionCall call{type, {}, std::string(event.rootkey) + "|" + event.subkey + "|" + event.installkey};
  for (int i = 0; i < kEventFieldCount; ++i)
    call.fields.emplace_back(event.record.Get(static_cast<EventField>(i)));
  gCalls.push_back(call);
  return gResults[type];
}

template <int T>
int StandIn(EventContext& event) {
  return Record(static_cast<EventType>(T), event);
}

template <int... T>
constexpr std::array<EventAction, sizeof...(T)> StandIns(std::integer_sequence<int, T...>) {
  return {StandIn<T>...};
}
constexpr auto kStandIns = StandIns(std::make_integer_sequence<int, kEventTypeCount>());

}  // namespace

EventAction EventActionFor(EventType type) { return kStandIns[type]; }

StandInActions::StandInActions() {
  gCalls.clear();
  for (int& result : gResults) result = 0;
}
StandInActions::~StandInActions() { gCalls.clear(); }

void StandInActions::Script(EventType type, int result) { gResults[type] = result; }
const std::vector<ActionCall>& StandInActions::calls() const { return gCalls; }

std::vector<std::string> StandInActions::CalledTypes() const {
  std::vector<std::string> names;
  for (const ActionCall& call : gCalls) names.emplace_back(kEventTypes[call.type].name);
  return names;
}
