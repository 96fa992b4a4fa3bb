#pragma once

// The referral text's place: the REG_SZ value "ReferralPing" under
// HKEY_CURRENT_USER\SOFTWARE\Korvex\Lumeno\Lumeno2\Preferences.
constexpr char kReferralPingKey[] = "SOFTWARE\\Korvex\\Lumeno\\Lumeno2\\Preferences";
constexpr char kReferralPingValue[] = "ReferralPing";

// Creates or opens the key and stores text, terminator included. 0 when the
// value was written and the key closed, 1 otherwise.
int SetReferralPing(const char* text);
