// MatchSignerName: the first signer's simple display name, read with Crypt32
// functions looked up by name in the module the caller loaded.
#include <windows.h>
#include <wincrypt.h>

#include "trust/publisher_check.h"

namespace {

using CryptQueryObjectFn = BOOL(WINAPI*)(DWORD, const void*, DWORD, DWORD, DWORD, DWORD*, DWORD*,
                                         DWORD*, HCERTSTORE*, HCRYPTMSG*, const void**);
using CryptMsgGetParamFn = BOOL(WINAPI*)(HCRYPTMSG, DWORD, DWORD, void*, DWORD*);
using CertFindCertificateInStoreFn = PCCERT_CONTEXT(WINAPI*)(HCERTSTORE, DWORD, DWORD, DWORD,
                                                             const void*, PCCERT_CONTEXT);
using CertGetNameStringWFn = DWORD(WINAPI*)(PCCERT_CONTEXT, DWORD, DWORD, void*, LPWSTR, DWORD);
using CertFreeCertificateContextFn = BOOL(WINAPI*)(PCCERT_CONTEXT);
using CertCloseStoreFn = BOOL(WINAPI*)(HCERTSTORE, DWORD);
using CryptMsgCloseFn = BOOL(WINAPI*)(HCRYPTMSG);

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;  // 65537

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The error of a step that failed. 0 would read as equal names and -1 as
// different ones, so a platform that set no error gives a general failure.
int StepFailure() {
  const DWORD error = GetLastError();
  if (error == 0 || error == static_cast<DWORD>(-1)) return ERROR_FUNCTION_FAILED;
  return static_cast<int>(error);
}

// What one comparison holds, released on every path: the store, message and
// certificate from Crypt32 (with its own functions, when it has them) and
// the two global-memory blocks.
class Comparison {
 public:
  explicit Comparison(HMODULE crypt32) : crypt32_(crypt32) {}
  ~Comparison() {
    if (name_) GlobalFree(name_);
    if (signer_) GlobalFree(signer_);
    auto freeCertificate =
        Lookup<CertFreeCertificateContextFn>(crypt32_, "CertFreeCertificateContext");
    auto closeStore = Lookup<CertCloseStoreFn>(crypt32_, "CertCloseStore");
    auto closeMessage = Lookup<CryptMsgCloseFn>(crypt32_, "CryptMsgClose");
    if (certificate && freeCertificate) freeCertificate(certificate);
    if (store && closeStore) closeStore(store, 0);
    if (message && closeMessage) closeMessage(message);
  }
  Comparison(const Comparison&) = delete;
  Comparison& operator=(const Comparison&) = delete;

  // The blocks, allocated once each; null when the allocation failed.
  CMSG_SIGNER_INFO* AllocSigner(DWORD size) {
    signer_ = static_cast<CMSG_SIGNER_INFO*>(GlobalAlloc(GMEM_FIXED, size));
    return signer_;
  }
  wchar_t* AllocName(DWORD characters) {
    name_ = static_cast<wchar_t*>(GlobalAlloc(GMEM_FIXED, (characters + 1) * sizeof(wchar_t)));
    return name_;
  }

  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  PCCERT_CONTEXT certificate = nullptr;

 private:
  HMODULE crypt32_;
  CMSG_SIGNER_INFO* signer_ = nullptr;
  wchar_t* name_ = nullptr;
};

}  // namespace

int MatchSignerName(HMODULE crypt32, const wchar_t* path, const wchar_t* acceptedName) {
  Comparison work(crypt32);

  auto queryObject = Lookup<CryptQueryObjectFn>(crypt32, "CryptQueryObject");
  if (!queryObject) return 0;
  DWORD contentType = 0;
  if (!queryObject(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                   CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, &contentType, nullptr, &work.store,
                   &work.message, nullptr))
    return StepFailure();

  auto getParam = Lookup<CryptMsgGetParamFn>(crypt32, "CryptMsgGetParam");
  if (!getParam) return 0;
  DWORD signerSize = 0;
  if (!getParam(work.message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &signerSize))
    return StepFailure();
  CMSG_SIGNER_INFO* signer = work.AllocSigner(signerSize);
  if (!signer) return ERROR_NOT_ENOUGH_MEMORY;
  if (!getParam(work.message, CMSG_SIGNER_INFO_PARAM, 0, signer, &signerSize))
    return StepFailure();

  CERT_INFO wanted = {};
  wanted.Issuer = signer->Issuer;
  wanted.SerialNumber = signer->SerialNumber;

  auto findCertificate =
      Lookup<CertFindCertificateInStoreFn>(crypt32, "CertFindCertificateInStore");
  if (!findCertificate) return 0;
  work.certificate =
      findCertificate(work.store, kEncoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
  if (!work.certificate) return StepFailure();

  auto getName = Lookup<CertGetNameStringWFn>(crypt32, "CertGetNameStringW");
  if (!getName) return 0;
  const DWORD length =
      getName(work.certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (length == 0) return StepFailure();
  wchar_t* name = work.AllocName(length);
  if (!name) return ERROR_NOT_ENOUGH_MEMORY;
  if (getName(work.certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, length) == 0)
    return StepFailure();
  name[length] = L'\0';

  return lstrcmpW(acceptedName, name) == 0 ? 0 : -1;
}
