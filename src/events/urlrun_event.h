#pragma once

// Test seam: called with the downloaded program's path after the publisher
// check accepted it, while URLRUN holds the file against writers and
// deleters, just before it starts it. The product never sets it; null
// removes it.
using UrlRunAcceptedObserver = void (*)(const char* target);
void SetUrlRunAcceptedObserver(UrlRunAcceptedObserver observer);
