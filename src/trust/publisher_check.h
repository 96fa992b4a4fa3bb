#pragma once
#include <windows.h>

// Whether a program is signed by the maker: the platform's Authenticode
// verification of the signature embedded in the file, then a comparison of
// the first signer's simple display name with an accepted publisher name.
// Reports nothing; the caller does.

constexpr int kAcceptedPublisherCount = 5;
// Tried in this order.
extern const wchar_t* const kAcceptedPublishers[kAcceptedPublisherCount];

// True when a pass of VerifySignerName with one of the accepted names
// succeeds. path: the file's 8-bit full path.
bool IsAcceptedPublisher(const char* path);

// The same check, telling which pass succeeded: 1 to 5 for the accepted name
// at that place, 0 when all five failed. Every pass repeats the whole work,
// so an unsigned file is verified five times before the answer is no.
int AcceptedPublisherPass(const char* path);

// One pass: the signature verified by WinVerifyTrust, then the signer's name
// compared with acceptedName. When Crypt32 cannot be loaded or lacks a
// function, the verification alone decides.
bool VerifySignerName(const char* path, const wchar_t* acceptedName);

// Compares the simple display name of the first signer of the file at path
// with acceptedName (exact, case-sensitive), with the functions of the
// module crypt32 (looked up by name). 0 when the names are equal, or when
// a function is missing; -1 when they differ; otherwise the platform error of
// the step that failed (never 0 or -1, also when the platform left none).
int MatchSignerName(HMODULE crypt32, const wchar_t* path, const wchar_t* acceptedName);
