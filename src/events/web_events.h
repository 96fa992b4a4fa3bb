#pragma once
#include <windows.h>

// How long URLHIT and FIRSTURLHIT wait for their request: a tracking server
// that accepts the connection and never answers costs the walk this much
// (and a few milliseconds for the abort), then the event goes on as after
// any failed request.
constexpr DWORD kWebRequestLimitMs = 10000;

// The referral text's buffer: src, "&label=installation&", the tag data,
// "&ieconv=", the flag and the terminator must fit, so src and the tag data
// together take at most 32738 bytes.
constexpr size_t kReferralBufferSize = 32768;
constexpr size_t kReferralMaxSrcAndTag = kReferralBufferSize - 30;
