#include "backend/Signature.h"

#include "backend/Sha256.h"
#include "win/Text.h"

std::pair<std::wstring, std::wstring> MakeSignatureHeader(const std::string& userId,
                                                          const std::string& sessionTimestamp) {
  return {L"Authorization", L"Signature=" + win::FromUtf8(Sha256Hex(userId + sessionTimestamp))};
}
