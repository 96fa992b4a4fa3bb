#pragma once
#include <cstdio>

#include "payload_check.h"

// The full listing of `payloadtool check`: settings, events with their
// attributes, problems, where the walk stops, and the counts.
void PrintPayloadCheck(const PayloadCheck& check, FILE* out);

// Only the problems, the walk and the counts (what `pack` shows).
void PrintProblems(const PayloadCheck& check, FILE* out);
