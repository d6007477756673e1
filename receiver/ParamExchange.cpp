#include "receiver/ParamExchange.h"

#include <string>

#include "link/Channel.h"

namespace params {

namespace {

// Clears the receive text, sends "e" and waits: the reply, or nothing when
// it holds no prompt.
std::optional<std::string> AskForSet() {
  RxText().Clear();
  SendAndWait(kReadCommand, kReadWaitMs);
  if (!RxText().Contains(kPrompt)) return std::nullopt;
  return RxText().Text();
}

}  // namespace

std::optional<TReadOut> ReadParams() {
  const std::optional<std::string> reply = AskForSet();
  if (!reply) return std::nullopt;
  return TReadOut{ParseReply(*reply), IsWellFormedReply(*reply)};
}

bool WriteParams(const TParamImage& image, const std::function<void(int byte)>& onByte) {
  RxText().Clear();
  SendAndWait("\r", kPromptWaitMs);
  if (!RxText().Contains(kPrompt)) return false;
  ParamImage = image;
  RxText().Clear();
  SendAndWait(kWriteCommand, kWriteCommandWaitMs);
  const TParamFrame frame = WriteFrame(ParamImage);
  for (int i = 0; i < kFrameBytes; ++i) {
    if (onByte) onByte(i);
    // One raw byte, whatever its value.
    SendAndWait(std::string(1, static_cast<char>(frame[i])), kByteWaitMs);
    RxText().Append(".");
    if (i == kParamBytes - 1) RxText().Append("*");
  }
  return true;
}

TVerification VerifyParams(const TParamImage& written) {
  const std::optional<std::string> reply = AskForSet();
  return VerifyReadBack(written, reply ? std::optional<std::string_view>(*reply) : std::nullopt);
}

}  // namespace params
