#pragma once
// Stand-ins for the program's actions, bound by EventActionFor in the
// portable tests of the walk and the dispatch (the only seam there): each
// records the call with the record it was given and returns the result the
// test scripted for its type (0 unless told otherwise).
#include <string>
#include <vector>

#include "events/actions.h"

struct ActionCall {
  EventType type;
  std::vector<std::string> fields;  // the record as the action saw it, in EventField order
  std::string settings;             // "rootkey|subkey|installkey"
};

class StandInActions {
 public:
  StandInActions();
  ~StandInActions();
  StandInActions(const StandInActions&) = delete;
  StandInActions& operator=(const StandInActions&) = delete;

  void Script(EventType type, int result);
  const std::vector<ActionCall>& calls() const;
  // The types called, in order, as their names.
  std::vector<std::string> CalledTypes() const;
};
